#!/usr/bin/env bash
# `cabtool test` on MSZIP, LZX:21 and Quantum:21 cabinets of the 64 MiB
# benchmark corpus (32 files), against libdeflate and zlib decoding the same
# corpus as one raw deflate stream and xz -d on one xz stream; `cabtool
# create` of the corpus against libdeflate, zlib and xz -6 packing it as one
# stream; and `cabtool create` of a sparse 4 GiB - 1 byte file. All as whole
# processes in the same run: median of 3, ratios against both deflate
# libraries, peak resident size.
#
#   bash bench/cabtool_test.sh [--only mszip,lzx,quantum,create,sparse] [--keep DIR]
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
