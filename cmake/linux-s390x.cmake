# Linux on IBM Z (s390x): big-endian, cross-built with Debian's g++-s390x-linux-gnu and run under qemu-s390x
# (Debian: g++-s390x-linux-gnu qemu-user).
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(LOTRIX_TRIPLE s390x-linux-gnu)
set(LOTRIX_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
