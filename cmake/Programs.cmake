# How each program is linked and installed. On Windows the programs go to the top of the installation (the zip
# archive), where a user looks for the .exe files; elsewhere to bin/, with their manual pages in share/man/man1/.
if(WIN32)
  set(PROGRAM_INSTALL_DIR .)
else()
  set(PROGRAM_INSTALL_DIR ${CMAKE_INSTALL_BINDIR})
endif()

find_program(GZIP_EXECUTABLE gzip)

# Installs FILE compressed, as FILE.gz (or as NAME when given) in DESTINATION, the way Debian keeps manual pages and
# changelogs; -n leaves out the name and time of the source, so that the same file always gives the same bytes.
function(install_compressed file destination)
  if(NOT GZIP_EXECUTABLE)
    message(FATAL_ERROR "gzip is needed to install ${file}")
  endif()
  get_filename_component(name ${file} NAME)
  if(ARGC GREATER 2)
    set(name ${ARGV2})
  else()
    set(name ${name}.gz)
  endif()
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${name})
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${file} > ${compressed}
    DEPENDS ${file} VERBATIM)
  string(MAKE_C_IDENTIFIER ${name} target)
  add_custom_target(compress_${target} ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${destination})
endfunction()

# Installs the program TARGET with its manual page TARGET.1, which lies beside the calling CMakeLists.txt. On
# Windows it is linked statically, so that it needs no MinGW DLL beside it.
function(ship_program target)
  if(WIN32)
    target_link_options(${target} PRIVATE -static)
  endif()
  install(TARGETS ${target} DESTINATION ${PROGRAM_INSTALL_DIR})
  if(NOT WIN32)
    install_compressed(${CMAKE_CURRENT_SOURCE_DIR}/${target}.1 ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endfunction()
