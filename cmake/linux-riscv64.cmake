# Linux on 64-bit RISC-V: no byte-sized lock-free atomics, cross-built with Debian's g++-riscv64-linux-gnu and run under qemu-riscv64
# (Debian: g++-riscv64-linux-gnu qemu-user).
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(LOTRIX_TRIPLE riscv64-linux-gnu)
set(LOTRIX_QEMU qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
