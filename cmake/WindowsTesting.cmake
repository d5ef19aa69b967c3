# Windows programs built here run under Wine: 64-bit ones with wine64, 32-bit ones with the 32-bit wine, which this
# kernel starts through qemu's user-mode emulation (registered with binfmt_misc). Both builds share one Wine prefix,
# made with wine64 once the 32-bit Wine is installed, so that it holds the 32-bit system as well (syswow64).
#
# The Russian locale (ru_RU.UTF-8, which must be installed for Wine to read UTF-8 arguments) gives Wine the ANSI
# code page 1251 and the OEM code page 866 of a Russian Windows; LC_ALL as well as LANG, so that no LC_ variable of
# the caller's environment overrides it.
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "The Wine prefix the tests run in")
find_program(WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
# Wine reserves all of a 32-bit process's address space above the 2 GiB a Windows program gets, and under qemu each
# of its many attempts costs a scan of the emulated space: in a space of 2 GiB and 16 MiB a 32-bit Wine process
# starts in seconds instead of minutes (the prefix's 32-bit half is made by such processes too). Nothing else reads
# QEMU_RESERVED_VA.
set(wine_environment WINEPREFIX=${WINE_PREFIX} WINEDEBUG=-all LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
  QEMU_RESERVED_VA=0x81000000)
find_program(WINE32 NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WINE_LOADER ${WINE64})
else()
  set(WINE_LOADER ${WINE32})
  if(WINE32)
    execute_process(COMMAND ${WINE32} --version RESULT_VARIABLE wine32_status OUTPUT_QUIET ERROR_QUIET)
    if(NOT wine32_status EQUAL 0)
      message(STATUS "${WINE32} does not run here (for qemu-i386-static and binfmt_misc see scripts/binfmt.sh)")
      set(WINE_LOADER "")
    endif()
  endif()
endif()

if(WINE_LOADER AND WINE64 AND WINESERVER)
  set(CMAKE_CROSSCOMPILING_EMULATOR env ${wine_environment} ${WINE_LOADER})
  string(JOIN " " WINDOWS_TEST_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR})
  # The prefix's own services, started with wine64 whatever the build: a 32-bit start is slow.
  string(JOIN " " WINDOWS_TEST_SERVICES env ${wine_environment} ${WINE64})
  set(WINDOWS_TEST_WINESERVER "env WINEPREFIX=${WINE_PREFIX} ${WINESERVER}")
  # Making the prefix takes minutes: once here, rather than in whichever test runs first. A prefix made before the
  # 32-bit Wine was installed lacks the 32-bit system, which an update adds.
  if(NOT EXISTS ${WINE_PREFIX}/system.reg)
    message(STATUS "Making the Wine prefix ${WINE_PREFIX}")
    execute_process(COMMAND env ${wine_environment} ${WINE64} wineboot --init OUTPUT_QUIET ERROR_QUIET)
  elseif(WINE32 AND NOT EXISTS ${WINE_PREFIX}/drive_c/windows/syswow64/kernel32.dll)
    message(STATUS "Adding the 32-bit system to the Wine prefix ${WINE_PREFIX}")
    execute_process(COMMAND env ${wine_environment} ${WINE64} wineboot --update OUTPUT_QUIET ERROR_QUIET)
  endif()
else()
  message(STATUS "No way to run these Windows programs here: the tests are left out")
  set(BUILD_TESTING OFF CACHE BOOL "" FORCE)
endif()
