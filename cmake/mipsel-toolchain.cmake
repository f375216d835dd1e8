# Cross build for the recorder: MIPS32 little-endian Linux, static, with
# Debian's mipsel cross compiler. Debian's static C library for mipsel is
# built for MIPS32r2 with a hardware FPU, so the program is MIPS32r2 whatever
# -march says. Tests run it under qemu-user (no binfmt registration needed).
# Static glibc carries a kernel floor (Linux 3.2.0): on an older kernel the
# program stops at once with "kernel too old". mipsel-musl-toolchain.cmake
# makes a build without that floor.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mipsel)

set(CMAKE_C_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/mipsel-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-mipsel -L /usr/mipsel-linux-gnu)
# The C library the agent links with: the binary checks expect its kernel floor.
set(TEVRANO_AGENT_C_LIBRARY glibc)
