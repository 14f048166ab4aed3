#!/usr/bin/env bash
# Installs the default build into a temporary prefix, then builds and runs the example consumers
# against the installed package only: once through find_package(QuorlTypes CONFIG), once through
# pkg-config.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install build/default --prefix "$work/prefix" >/dev/null

cmake -S examples/consumer -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer"

PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib64/pkgconfig" \
  g++ -o "$work/consumer-pc" examples/consumer/main.cpp \
  $(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib64/pkgconfig" pkg-config --cflags --libs quorl-ormid) \
  -Wl,-rpath,"$work/prefix/lib"
"$work/consumer-pc"
echo "check-install: the installed package builds and runs both consumers"
