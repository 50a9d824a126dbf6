# Installation and packages: on Linux a prefix with the program, its manual page, the
# README and the quality report, and a Debian package (cpack -G DEB in the build folder);
# on Windows a ZIP archive with the program, the README, the licence and a manual written
# for Windows, all with CR LF line ends (cpack in the build folder).
include(GNUInstallDirs)
if(WIN32)
  # The texts as Windows keeps them: CR LF line ends, names a double click opens.
  foreach(pair "README.md|README.md" "LICENSE|LICENSE.txt" "doc/lotrix20-windows.txt|MANUAL.txt")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 source)
    list(GET pair 1 shipped)
    configure_file(${source} ${PROJECT_BINARY_DIR}/zip/${shipped} @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/zip/${shipped} DESTINATION .)
  endforeach()
  install(TARGETS lotrix20 RUNTIME DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_STRIP_FILES ON)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_SYSTEM_NAME win32)
  else()
    set(CPACK_SYSTEM_NAME win64)
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_NAME lotrix20)
  include(CPack)
  return()
endif()
# The manual page and the Debian changelog go compressed, as Debian has them.
find_program(LOTRIX_GZIP gzip REQUIRED)
foreach(pair "doc/lotrix20.1|lotrix20.1.gz" "packaging/changelog.Debian|changelog.Debian.gz")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 packed)
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/${packed}
    COMMAND ${LOTRIX_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/${source} > ${PROJECT_BINARY_DIR}/${packed}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source})
  list(APPEND LOTRIX_PACKED ${PROJECT_BINARY_DIR}/${packed})
endforeach()
add_custom_target(compressed_documents ALL DEPENDS ${LOTRIX_PACKED})

install(TARGETS lotrix20 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_BINARY_DIR}/lotrix20.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md packaging/copyright ${PROJECT_BINARY_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The documents where the installed README's links find them.
install(FILES doc/quality.md doc/reliability.md doc/performance.md doc/windows.md
              doc/ARCHITECTURE.md DESTINATION ${CMAKE_INSTALL_DOCDIR}/doc)
install(FILES CONTRIBUTING.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY doc/quality DESTINATION ${CMAKE_INSTALL_DOCDIR}/doc FILES_MATCHING PATTERN "*.png")
# lintian's overrides concern the Debian package alone: not in a plain install.
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME lotrix20 COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES packaging/lotrix20.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME lotrix20)

set(CPACK_PACKAGE_NAME lotrix20)
set(CPACK_PACKAGE_VENDOR "lotrix20 developers")
set(CPACK_PACKAGE_CONTACT "lotrix20 developers <lotrix20@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "reproducible uniform pseudo-random numbers, appended to a text file")
# Each line at most 80 characters.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A console program, with its dialogue in Italian, that asks which of four
generators to use (15-bit integers, reals in (0, 1), integers up to
2147483646, integers within chosen bounds), how many numbers to make and
which seed to start from, and appends a record of the numbers to lotrix20.txt
in the current directory. A seed reproduces its record byte for byte; a key
pressed on the terminal stops a run. Options make it a tool for scripts: the
same record without a dialogue, or the bare numbers on standard output.")
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)  # one package, with the Debian-only component in it
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)
include(CPack)
