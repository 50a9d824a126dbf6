# Cross-building the Windows console program with MinGW-w64 (the posix-threads flavour of
# g++), statically linked so that it needs nothing but the system's own DLLs. The tests
# run under wine where it is installed. 64-bit unless LOTRIX_MINGW_PROCESSOR says i686
# (mingw-w64-i686.cmake).
if(NOT LOTRIX_MINGW_PROCESSOR)
  set(LOTRIX_MINGW_PROCESSOR x86_64)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${LOTRIX_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${LOTRIX_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${LOTRIX_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${LOTRIX_MINGW_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LOTRIX_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# The Windows ABI keeps the stack aligned to 16 bytes only, and GCC may spill a vector
# register with an aligned move all the same: the assembler makes every such move an
# unaligned one, which costs nothing on aligned data.
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
# wine runs console programs headless; its own prefix in the build folder keeps it out of
# the home folder.
find_program(LOTRIX_WINE wine)
if(LOTRIX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
      WINEPREFIX=${CMAKE_BINARY_DIR}/wine ${LOTRIX_WINE})
endif()
