# Run by cmake --install (see CMakeLists.txt): writes every saver's man page,
# desktop entry and xscreensaver description for the prefix being installed
# to, and installs them. Folders are as configured: relative to the prefix,
# or absolute.
function(orvo_docs_folder out folder)
  if(IS_ABSOLUTE "${folder}")
    set(${out} "${folder}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${folder}" PARENT_SCOPE)
  endif()
endfunction()

orvo_docs_folder(libexec "${ORVO_DOCS_LIBEXECDIR}/orvo")
orvo_docs_folder(man6 "${ORVO_DOCS_MANDIR}/man6")
orvo_docs_folder(applications "${ORVO_DOCS_DATADIR}/applications/screensavers")
orvo_docs_folder(descriptions "${ORVO_DOCS_DATADIR}/xscreensaver/config")

file(REMOVE_RECURSE "${ORVO_DOCS_STAGE}")
file(MAKE_DIRECTORY "${ORVO_DOCS_STAGE}")
set(kinds man desktop xscreensaver)
set(folders man6 applications descriptions)
foreach(saver IN LISTS ORVO_DOCS_SAVERS)
  set(files ${saver}.6 orvo-${saver}.desktop orvo-${saver}.xml)
  foreach(kind file folder IN ZIP_LISTS kinds files folders)
    execute_process(COMMAND "${ORVO_DOCS_TOOL}" ${kind} ${saver} "${libexec}"
                    OUTPUT_FILE "${ORVO_DOCS_STAGE}/${file}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "orvo-docs ${kind} ${saver} failed: ${status}")
    endif()
    file(INSTALL DESTINATION "${${folder}}" TYPE FILE FILES "${ORVO_DOCS_STAGE}/${file}")
  endforeach()
endforeach()
