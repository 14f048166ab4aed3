#!/usr/bin/env bash
# Installs what building and testing need, when it is missing. Runs apt-get only as root and only for
# packages that are not installed yet; anyone else gets the list of what to install.
#   scripts/setup.sh [preset]     the aarch64 preset needs more (below); the others need the same
set -euo pipefail
preset="${1:-}"

# expat: the wire codec's XML parser; libxml2-utils, gsoap, python3-zeep: the tools that read the generated
# service description in the tests; libclang-rt-dev: clang's sanitizer and libFuzzer runtimes for the
# default clang (libclang-rt-14-dev on Debian 12), which the fuzz preset links; llvm: llvm-symbolizer, for
# the sanitizers' stack traces; libcpp-httplib-dev (with OpenSSL): the HTTP(S) transport.
# clang-format, python3-pyflakes: scripts/check-style.sh.
packages=(cmake ninja-build g++ clang python3 pkg-config libgtest-dev libgmock-dev libbenchmark-dev binutils
  libexpat1-dev libxml2-utils gsoap python3-zeep libclang-rt-dev llvm libcpp-httplib-dev libssl-dev
  clang-format python3-pyflakes)
# The aarch64 preset (cmake/toolchains/aarch64-linux-gnu.cmake): Debian's cross compiler, qemu-user to run
# the target's programs (no binfmt needed), and the target's libraries, loader and runtimes from Debian's
# arm64 multiarch packages (the arm64 architecture is added to dpkg first).
if [ "$preset" = aarch64 ]; then
  packages+=(g++-aarch64-linux-gnu qemu-user libstdc++6:arm64 libexpat1-dev:arm64 libssl-dev:arm64
    zlib1g-dev:arm64 libcpp-httplib-dev:arm64 libgtest-dev:arm64)
fi
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    if [ "$preset" = aarch64 ] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
      dpkg --add-architecture arm64
    fi
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "setup: missing packages: ${missing[*]} (run as root, or install them)" >&2
    exit 1
  fi
fi
