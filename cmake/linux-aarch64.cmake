# Linux on 64-bit ARM, cross-built with Debian's g++-aarch64-linux-gnu and run under qemu-aarch64
# (Debian: g++-aarch64-linux-gnu qemu-user).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(LOTRIX_TRIPLE aarch64-linux-gnu)
set(LOTRIX_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
