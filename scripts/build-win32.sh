# Sourced by the main-job commands: installs what is missing, configures the
# Windows build in $build and builds the targets given. The build is the
# 32-bit one (BUILD_DIR, or build/win32 by default); on a machine that cannot
# run 32-bit programs, whose Wine is 64-bit only, it is the 64-bit build of the
# same sources in build/win64, and $wine_arch says which.
#
#   source scripts/build-win32.sh TARGET...
bash "$root/scripts/bootstrap.sh"
wine_arch=$(bash "$root/scripts/wine-arch")
export ORVEL_WINE_ARCH="$wine_arch"  # read by scripts/wine-harness
if [ -n "${BUILD_DIR:-}" ]; then
  build="$BUILD_DIR"
  toolchain="$root/cmake/mingw-i686.cmake"
  [ "$wine_arch" = win64 ] && toolchain="$root/cmake/mingw-x86_64.cmake"
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DORVEL_UPDATE_PUBLIC_KEY="$root/tests/data/keys/TEST-ONLY-public-key.pem" >/dev/null
else
  build="$root/build/$wine_arch"
  cmake --preset "$wine_arch" >/dev/null
fi
if [ "$wine_arch" = win64 ]; then
  echo "note: this machine cannot run 32-bit programs; running the 64-bit build of the same sources under 64-bit Wine" >&2
fi
cmake --build "$build" -j2 --target "$@" >/dev/null
