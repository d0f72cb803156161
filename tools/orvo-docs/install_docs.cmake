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

# A stage folder of this install's own: installs for other prefixes (a
# package staged with DESTDIR, say) may run at the same time from the same
# build tree, and each writes its own paths into the files.
string(SHA1 target "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
string(RANDOM LENGTH 8 unique)
set(stage "${ORVO_DOCS_STAGE}/${target}-${unique}")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}")
set(kinds man desktop xscreensaver)
set(folders man6 applications descriptions)
foreach(saver IN LISTS ORVO_DOCS_SAVERS)
  # The settings program looks for a saver's description under the name of
  # its program.
  set(files ${saver}.6 orvo-${saver}.desktop ${saver}.xml)
  foreach(kind file folder IN ZIP_LISTS kinds files folders)
    execute_process(COMMAND "${ORVO_DOCS_TOOL}" ${kind} ${saver} "${libexec}"
                    OUTPUT_FILE "${stage}/${file}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "orvo-docs ${kind} ${saver} failed: ${status}")
    endif()
    file(INSTALL DESTINATION "${${folder}}" TYPE FILE FILES "${stage}/${file}")
  endforeach()
endforeach()
file(REMOVE_RECURSE "${stage}")
