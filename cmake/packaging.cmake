# Installation and packages: on Linux a prefix with the program, its manual page and the
# README, and a Debian package (cpack -G DEB in the build folder); on Windows a ZIP archive
# with the program, the README and the manual as text (cpack in the build folder).
include(GNUInstallDirs)
if(WIN32)
  install(TARGETS lotrix20 RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  find_program(LOTRIX_GROFF groff)
  if(LOTRIX_GROFF)
    add_custom_command(
      OUTPUT ${PROJECT_BINARY_DIR}/MANUAL.txt
      COMMAND ${LOTRIX_GROFF} -man -Tascii -P-cbou ${PROJECT_SOURCE_DIR}/doc/lotrix20.1
              > ${PROJECT_BINARY_DIR}/MANUAL.txt
      DEPENDS ${PROJECT_SOURCE_DIR}/doc/lotrix20.1
      COMMENT "The manual as text")
    add_custom_target(manual_text ALL DEPENDS ${PROJECT_BINARY_DIR}/MANUAL.txt)
    install(FILES ${PROJECT_BINARY_DIR}/MANUAL.txt DESTINATION .)
  endif()
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
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME lotrix20)
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
include(CPack)
