# Wayland: finding the client libraries and generating protocol code.
#
# ORVO_WAYLAND_FOUND is set when libwayland-client, xkbcommon and
# wayland-scanner are all there (pkg-config targets PkgConfig::ORVO_WAYLAND_CLIENT,
# PkgConfig::ORVO_XKBCOMMON); ORVO_WAYLAND_PROTOCOLS_DIR is the system's
# protocol folder (wayland-protocols), empty without it.

find_package(PkgConfig QUIET)
set(ORVO_WAYLAND_FOUND OFF)
if(PkgConfig_FOUND AND NOT WIN32)
  pkg_check_modules(ORVO_WAYLAND_CLIENT QUIET IMPORTED_TARGET wayland-client)
  pkg_check_modules(ORVO_XKBCOMMON QUIET IMPORTED_TARGET xkbcommon)
  pkg_get_variable(ORVO_WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
  find_program(ORVO_WAYLAND_SCANNER wayland-scanner)
  if(ORVO_WAYLAND_CLIENT_FOUND AND ORVO_XKBCOMMON_FOUND AND ORVO_WAYLAND_SCANNER
     AND ORVO_WAYLAND_PROTOCOLS_DIR)
    set(ORVO_WAYLAND_FOUND ON)
  endif()
endif()

# orvo_wayland_protocol(TARGET client|server XML)
# Generates the header (client or server side) and the private code of the
# protocol described by XML into the build folder and adds them to TARGET;
# the header is included as "<basename>-client-protocol.h" (or -server-).
function(orvo_wayland_protocol target side xml)
  if(NOT side STREQUAL "client" AND NOT side STREQUAL "server")
    message(FATAL_ERROR "orvo_wayland_protocol: side must be client or server, not ${side}")
  endif()
  get_filename_component(base ${xml} NAME_WE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/protocols)
  set(header ${dir}/${base}-${side}-protocol.h)
  set(code ${dir}/${base}-${side}-protocol.c)
  add_custom_command(
    OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${ORVO_WAYLAND_SCANNER} ${side}-header ${xml} ${header}
    DEPENDS ${xml} VERBATIM)
  add_custom_command(
    OUTPUT ${code}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${ORVO_WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml} VERBATIM)
  target_sources(${target} PRIVATE ${header} ${code})
  target_include_directories(${target} PUBLIC ${dir})
endfunction()
