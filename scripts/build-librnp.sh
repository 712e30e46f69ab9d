#!/usr/bin/env bash
# Unpacks the bundled librnp source (third_party/rnp), applies its patches in
# the order of patches/series, and builds the static library into OUTDIR:
# OUTDIR/install/{include/rnp,lib/librnp.a}. Nothing is done when OUTDIR
# already holds a build of the same source, patches and options.
#   scripts/build-librnp.sh OUTDIR [release|fuzz]
#     release  the compiler of the environment, -O2 with debug information
#     fuzz     clang with libFuzzer coverage, address and undefined-behaviour
#              sanitizers, so that the fuzzers steer into librnp's parsers
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$1"
variant="${2:-release}"
third="$root/third_party/rnp"
# RNP's tarball leaves out the sexpp library (a git submodule upstream);
# Debian's sexpp source fills its place.
tarball="$third/rnp_0.18.1.orig.tar.gz"
sexpp="$third/sexpp_0.8.7.orig.tar.gz"
sums="64a8ab3d5f819fe09e78b5c9170ab2387cd8a0bb72695935b8ca40a22585437d  $tarball
d877a2a39f38d3e0d84f74cb5e4bb3c180b8ee68086ccc43117e09364d66ba2b  $sexpp"
patches="$third/patches"
# v6 keys, v6 signatures and SEIPDv2 (RFC 9580) are behind this option;
# the code it brings needs C++17.
extra=(-DENABLE_CRYPTO_REFRESH=ON -DCMAKE_CXX_STANDARD=17)
echo "$sums" | sha256sum --check --quiet

args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF -DENABLE_DOC=OFF
      -DENABLE_FUZZERS=OFF -DDOWNLOAD_GTEST=OFF -DDOWNLOAD_RUBYRNP=OFF -DCRYPTO_BACKEND=botan
      -DCMAKE_POSITION_INDEPENDENT_CODE=ON "${extra[@]}")
# As Debian builds it: the passphrase key derivation tuned to at least 4x
# the minimum iteration count. SHA-1 collision detection copies each block
# before reading it as words, instead of reading misaligned words in place
# (undefined behaviour, which the fuzzers' sanitizer reported on every run).
flags="-DS2K_MINIMUM_TUNING_RATIO=4 -DSHA1DC_FORCE_ALIGNED_ACCESS"
case "$variant" in
  release) ;;
  fuzz)
    args+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
    flags+=" -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer" ;;
  *) echo "unknown variant $variant" >&2; exit 2 ;;
esac
args+=("-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags")

# The fuzz variant also takes patches/fuzz/, which make the library cheap to
# fuzz (see each patch's header); the shipped library never has them.
series=("$patches/series")
[ "$variant" = fuzz ] && series+=("$patches/fuzz/series")
stamp=$( { sha256sum "$tarball" "$sexpp" "$patches"/series "$patches"/*.patch "$patches"/features; [ "$variant" = fuzz ] && sha256sum "$patches"/fuzz/*;
           echo "${args[*]}"; } 2>/dev/null | sha256sum | cut -c1-16)
if [ -f "$out/install/lib/librnp.a" ] && [ "$(cat "$out/stamp" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi

echo "Building the bundled librnp ($variant) in $out"
rm -rf "$out"
mkdir -p "$out/src" "$out/build" "$out/install/include/rnp" "$out/install/lib"
tar -xzf "$tarball" -C "$out/src" --strip-components=1
mkdir -p "$out/src/src/libsexpp"
tar -xzf "$sexpp" -C "$out/src/src/libsexpp" --strip-components=1
for list in "${series[@]}"; do
  while read -r patch; do
    [ -n "$patch" ] && [ "${patch#\#}" = "$patch" ] || continue
    patch -d "$out/src" -p1 --quiet --forward < "$(dirname "$list")/$patch"
  done < "$list"
done
cmake -S "$out/src" -B "$out/build" "${args[@]}" > "$out/configure.log" 2>&1 || { tail -30 "$out/configure.log" >&2; exit 1; }
cmake --build "$out/build" --target librnp -j"$(nproc)" > "$out/build.log" 2>&1 || { tail -30 "$out/build.log" >&2; exit 1; }
cp "$out/src/include/rnp/"*.h "$out/build/src/lib/rnp/rnp_export.h" "$out/install/include/rnp/"
cp "$out/build/src/lib/librnp.a" "$out/install/lib/"
cp "$out/build/src/libsexpp/libsexpp.a" "$out/install/lib/"
# What the patched library offers beyond upstream, as compile definitions.
cp "$patches/features" "$out/install/features"
echo "$stamp" > "$out/stamp"
