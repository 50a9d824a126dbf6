# Linux on 32-bit x86 (i686): the x87 unit evaluates double products in a wider format, cross-built with Debian's g++-i686-linux-gnu and run under qemu-i386
# (Debian: g++-i686-linux-gnu qemu-user).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LOTRIX_TRIPLE i686-linux-gnu)
set(LOTRIX_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
