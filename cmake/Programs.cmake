# How each program is linked and installed. On Windows the programs go to the top of the installation (the zip
# archive), where a user looks for the .exe files; elsewhere to bin/, with their manual pages in share/man/man1/.
if(WIN32)
  set(PROGRAM_INSTALL_DIR .)
else()
  set(PROGRAM_INSTALL_DIR ${CMAKE_INSTALL_BINDIR})
endif()

find_program(GZIP_EXECUTABLE gzip)

# Links the program TARGET statically and installs it with its manual page TARGET.1, which lies beside the calling
# CMakeLists.txt. Static linking makes it start faster (a run on a small file is mostly start-up) and, on Windows,
# need no MinGW DLL beside it; the sanitizers' runtimes cannot be linked so.
function(ship_program target)
  if(NOT SANITIZERS)
    target_link_options(${target} PRIVATE -static)
  endif()
  install(TARGETS ${target} DESTINATION ${PROGRAM_INSTALL_DIR})
  if(WIN32)
    return()
  endif()
  if(NOT GZIP_EXECUTABLE)
    message(FATAL_ERROR "gzip is needed to install the manual pages")
  endif()
  set(page ${CMAKE_CURRENT_SOURCE_DIR}/${target}.1)
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${target}.1.gz)
  # Compressed as Debian keeps them; -n leaves out the name and time of the source, so that the same page always
  # gives the same bytes.
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${page} > ${compressed}
    DEPENDS ${page} VERBATIM)
  add_custom_target(${target}_man_page ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
