#!/usr/bin/env bash
# Installs, idempotently, every Debian package the build and the tests need;
# with --fuzz, also clang and its libFuzzer for the fuzz preset.
# Prints what it installs; does nothing when everything is there.
set -eu

fuzz=0
for arg in "$@"; do
  case "$arg" in
    --fuzz) fuzz=1 ;;
    *) echo "usage: bootstrap.sh [--fuzz]" >&2; exit 2 ;;
  esac
done

if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: must run as root (it installs Debian packages with apt-get)" >&2
  exit 1
fi
if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg >/dev/null 2>&1; then
  echo "bootstrap: needs a Debian system with apt-get and dpkg" >&2
  exit 1
fi

packages=(
  cmake make g++ git python3 ca-certificates
  g++-mingw-w64-i686 mingw-w64-i686-dev libz-mingw-w64-dev
  wine wine32:i386
  xvfb xdotool x11-utils imagemagick fonts-ipafont-gothic locales
  googletest libgtest-dev libbenchmark-dev zlib1g-dev
  libdeflate-dev  # a speed baseline for the benchmarks only
  libssl-dev  # SHA-256 for cabtool test --hash
  # The i386 preset: the portable code as 32-bit Linux programs, run under
  # qemu-user where the kernel runs no 32-bit code.
  g++-multilib qemu-user-static zlib1g-dev:i386 libssl-dev:i386 libgtest-dev:i386
)
if [ "$fuzz" -eq 1 ]; then
  packages+=(clang libclang-rt-dev)
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "bootstrap: adding the i386 architecture (for 32-bit Wine)"
  dpkg --add-architecture i386
  need_update=1
fi

# Prints, one a line, the packages named that are not installed. A name
# without ":ARCH" means the machine's own architecture (or "all"): the i386
# copy of a library does not stand in for the native one.
not_installed() {
  local p want
  local native
  native=$(dpkg --print-architecture)
  for p in "$@"; do
    case "$p" in
      *:*) want="install ok installed ${p#*:}" ;;
      *) want="install ok installed ($native|all)" ;;
    esac
    dpkg-query -W -f='${Status} ${Architecture}\n' "$p" 2>/dev/null | grep -Eqx "$want" || echo "$p"
  done
}

mapfile -t missing < <(not_installed "${packages[@]}")

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
  echo "bootstrap: installed"
elif [ -n "${need_update:-}" ]; then
  apt-get update -qq
fi

# Some kernels run no 32-bit user code at all, so 32-bit Wine cannot start;
# there the Windows tests run as a 64-bit build under 64-bit Wine.
if [ "$(bash "$(dirname "$0")/wine-arch")" = win64 ]; then
  # The shipped 32-bit programs then run in a virtual machine (scripts/vm32).
  mapfile -t extra < <(not_installed wine64 g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev qemu-system-x86 busybox-static)
  if [ ${#extra[@]} -gt 0 ]; then
    echo "bootstrap: this machine cannot run 32-bit programs; installing 64-bit Wine and MinGW for the tests, and a virtual machine for the 32-bit programs: ${extra[*]}"
    apt-get update -qq
    apt-get install -y -qq "${extra[@]}" >/dev/null
  fi
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "bootstrap: generating the ja_JP.UTF-8 locale"
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
