# A Debian package: cpack -G DEB in the build folder.
set(CPACK_PACKAGE_NAME lotrix20)
set(CPACK_PACKAGE_VENDOR "lotrix20 developers")
set(CPACK_PACKAGE_CONTACT "lotrix20 developers <lotrix20@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "reproducible uniform pseudo-random numbers, appended to a text file")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "An interactive console program, with its dialogue in Italian, that asks which of four
generators to use (15-bit integers, reals in (0, 1), integers up to 2147483646,
integers within chosen bounds), how many numbers to make and which seed to start
from, and appends a record of the numbers to lotrix20.txt in the current directory.
A seed reproduces its record byte for byte; a key pressed on the terminal stops a run.")
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
