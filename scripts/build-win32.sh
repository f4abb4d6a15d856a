# Sourced by the main-job commands: installs what is missing, configures the
# win32 build in $build (BUILD_DIR, or build/win32 by default) and builds the
# targets given.
#
#   source scripts/build-win32.sh TARGET...
bash "$root/scripts/bootstrap.sh"
build="${BUILD_DIR:-$root/build/win32}"
if [ -z "${BUILD_DIR:-}" ]; then
  cmake --preset win32 >/dev/null
else
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target "$@" >/dev/null
