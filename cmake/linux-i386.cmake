# 32-bit Linux with the native compilers' -m32 (g++-multilib) and the i386
# multiarch libraries (zlib1g-dev:i386, libssl-dev:i386, libgtest-dev:i386).
# The programs are linked statically, so that they run under qemu-i386-static
# on a machine whose kernel runs no 32-bit code (see cmake/i386-runner.cmake).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")

# Only the i386 libraries: the amd64 ones beside them would not link.
# pkg-config would hand the finders the amd64 folders as hints.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ZLIB_USE_STATIC_LIBS ON)
set(OPENSSL_USE_STATIC_LIBS ON)
