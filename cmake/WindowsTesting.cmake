# Windows programs built here run under Wine: 64-bit ones only, as this kernel cannot run 32-bit programs.
# The Wine prefix lives in the build tree. The Russian locale (ru_RU.UTF-8, which must be installed for Wine to read
# UTF-8 arguments) gives Wine the ANSI code page 1251 and the OEM code page 866 of a Russian Windows; LC_ALL as well
# as LANG, so that no LC_ variable of the caller's environment overrides it.
find_program(WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(WINESERVER64 NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND WINE64 AND WINESERVER64)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 ${WINE64})
  string(JOIN " " WINDOWS_TEST_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR})
  set(WINDOWS_TEST_WINESERVER "env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix ${WINESERVER64}")
  # Making the prefix takes a while: once here, rather than in whichever test runs first.
  if(NOT EXISTS ${CMAKE_BINARY_DIR}/wineprefix/system.reg)
    message(STATUS "Making the Wine prefix ${CMAKE_BINARY_DIR}/wineprefix")
    execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init OUTPUT_QUIET ERROR_QUIET)
  endif()
else()
  message(STATUS "No way to run these Windows programs here: the tests are left out")
  set(BUILD_TESTING OFF CACHE BOOL "" FORCE)
endif()
