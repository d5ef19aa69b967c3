# Packages, made with cpack from an installed build: a .deb of the Linux programs (release preset) and a .zip of
# the Windows programs (windows-x86 preset). Name and version come from project().
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
# Lines short enough for a package manager's description view.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "hex2ver turns an Intel HEX file into the word image file of a FLASH memory:"
  "the whole memory, erased bytes FF, as one line of four hex digits per"
  "16-bit word, in a .ver file beside the HEX file. It checks the shape and"
  "the checksum of every record."
  "launch joins its arguments into one command line, echoes it and starts it"
  "as a new process without waiting for it.")
set(CPACK_PACKAGE_VENDOR "hex2ver-tools developers")
set(CPACK_PACKAGE_CONTACT "hex2ver-tools developers <developers@hex2ver-tools.invalid>")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # A short usage text for those who unpack the archive, and the licence, with the line ends Notepad expects.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/USAGE.txt.in ${CMAKE_BINARY_DIR}/USAGE.txt
    @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/USAGE.txt ${CMAKE_BINARY_DIR}/LICENSE.txt DESTINATION .)
else()
  # The licence as Debian's machine-readable copyright file, made from LICENSE: its holder, and the permission
  # notice that follows, each line indented and an empty line written " .".
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" holder "${license}")
  set(COPYRIGHT_HOLDER ${CMAKE_MATCH_1})
  string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]*\n\n" "" notice "${license}")
  string(REGEX REPLACE "\n+$" "" notice "${notice}")
  string(REPLACE "\n\n" "\n.\n" notice "${notice}")
  string(REPLACE "\n" "\n " LICENSE_TEXT " ${notice}")
  configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${CMAKE_BINARY_DIR}/copyright @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # A native package's changelog.
  install_compressed(${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  # The libraries the programs need, found by dpkg-shlibdeps.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # hex2ver's dialog mode shows its file chooser and message box with zenity where there is a desktop.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS zenity)
endif()

include(CPack)
