# Cross build for the recorder linked with musl instead of glibc: MIPS32
# little-endian Linux, static. Debian's static glibc refuses to start on a
# kernel older than 3.2 ("kernel too old"); musl makes no such check and
# falls back to older system calls where newer ones are missing, so this
# build suits recorders with older kernels. Needs Debian's musl-dev:mipsel
# (multiarch), whose mipsel-linux-musl-gcc wraps the mipsel cross compiler.
# The C++ compiler is only there for CMake's checks: no C++ is built for the
# recorder. Tests run it under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mipsel)

set(CMAKE_C_COMPILER mipsel-linux-musl-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/lib/mipsel-linux-musl /usr/include/mipsel-linux-musl)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-mipsel)
# The C library the agent links with: the binary checks expect its kernel floor.
set(TEVRANO_AGENT_C_LIBRARY musl)
