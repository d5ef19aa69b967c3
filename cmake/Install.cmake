# Where the programs and their manual pages are installed. On Windows everything goes to the top of the
# installation (the zip archive), where a user looks for the .exe files; elsewhere to bin/ and share/man/man1/.
if(WIN32)
  set(PROGRAM_INSTALL_DIR .)
else()
  set(PROGRAM_INSTALL_DIR ${CMAKE_INSTALL_BINDIR})
endif()

find_program(GZIP_EXECUTABLE gzip)

# Installs the manual page PAGE (a path beside the calling CMakeLists.txt), compressed as Debian keeps them. Not on
# Windows, which has no man.
function(install_man_page page)
  if(WIN32)
    return()
  endif()
  if(NOT GZIP_EXECUTABLE)
    message(FATAL_ERROR "gzip is needed to install the manual pages")
  endif()
  get_filename_component(name ${page} NAME)
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/${page})
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
  # -n leaves out the name and time of the source, so that the same page always gives the same bytes.
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${source} > ${compressed}
    DEPENDS ${source} VERBATIM)
  add_custom_target(${name}_man ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
