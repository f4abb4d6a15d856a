#!/usr/bin/env bash
# `cabtool test` on MSZIP, LZX:21 and Quantum:21 cabinets of the 64 MiB
# benchmark corpus (32 files), against libdeflate and zlib decoding the same
# corpus as one raw deflate stream and xz -d on one xz stream, all as whole
# processes in the same run: median of 3, ratios against both deflate
# decoders, peak resident size.
#
#   bash bench/cabtool_test.sh [--only mszip,lzx,quantum] [--keep DIR]
#
# Builds the host preset's cabtool and cabtool_bench first (configuring it if
# needed); libdeflate is measured when libdeflate-dev was installed before
# configuring, xz when xz is on the path.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ ! -f build/host/CMakeCache.txt ]; then
    cmake --preset host >/dev/null
fi
cmake --build build/host -j2 --target cabtool cabtool_bench >/dev/null
exec build/host/bench/cabtool_bench "$@" build/host/cabtool
