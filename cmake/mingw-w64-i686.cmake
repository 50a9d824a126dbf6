# The 32-bit Windows console program (Debian: g++-mingw-w64-i686-posix; its tests need
# 32-bit wine, wine32 from the i386 architecture).
set(LOTRIX_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
