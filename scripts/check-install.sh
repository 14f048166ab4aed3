#!/usr/bin/env bash
# Installs the default build into a temporary prefix, then builds and runs the example programs
# against the installed package only: the consumer once through find_package(QuorlTypes CONFIG) and once
# through pkg-config, the power-on example (examples/power-on) through find_package, the wire example
# (examples/wire-values) through find_package and pkg-config, the remote example (examples/remote-power-on)
# against the installed tool's server, and a consumer that instantiates every template of the installed
# headers once (examples/templates).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install build/default --prefix "$work/prefix" >/dev/null

# Every installed header compiles on its own: the hand-written ones one at a time, the generated ones (a
# header per type) together in one translation unit.
inc="$work/prefix/include"
find "$inc" -name '*.h' | sort >"$work/headers"
grep -v -E "^$inc/quorl/" "$work/headers" >"$work/own" || true
grep -E "^$inc/quorl/(Export|detail/[^/]*)\.h$" "$work/headers" >>"$work/own" || true
while read -r header; do
  echo "#include \"${header#$inc/}\"" | g++ -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I"$inc" -x c++ - ||
    { echo "check-install: ${header#$inc/} does not compile on its own" >&2; exit 1; }
done <"$work/own"
grep -v -x -F -f "$work/own" "$work/headers" | sed "s|^$inc/\(.*\)|#include \"\1\"|" >"$work/generated.cpp"
g++ -std=c++20 -fsyntax-only -I"$inc" "$work/generated.cpp"
echo "check-install: $(wc -l <"$work/own") hand-written headers alone, $(wc -l <"$work/generated.cpp") generated ones together"
# Every template the installed headers declare, instantiated once in a program linked against the
# installed libraries: a template whose body calls a helper no library exports does not link.
python3 scripts/public_templates.py "$inc" --check examples/templates/main.cpp
cmake -S examples/templates -B "$work/templates" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$work/templates" >/dev/null
"$work/templates/templates"
cmake -S examples/consumer -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer"

PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib64/pkgconfig" \
  g++ -o "$work/consumer-pc" examples/consumer/main.cpp \
  $(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib64/pkgconfig" pkg-config --cflags --libs quorl-ormid) \
  -Wl,-rpath,"$work/prefix/lib"
"$work/consumer-pc"

cmake -S examples/power-on -B "$work/power-on" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$work/power-on" >/dev/null
"$work/power-on/power-on"
cmake -S examples/wire-values -B "$work/wire-values" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$work/wire-values" >/dev/null
"$work/wire-values/wire-values" >/dev/null
PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib64/pkgconfig" \
  g++ -o "$work/wire-values-pc" examples/wire-values/main.cpp \
  $(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib64/pkgconfig" pkg-config --cflags --libs quorl-types quorl-wire) \
  -Wl,-rpath,"$work/prefix/lib"
"$work/wire-values-pc" >/dev/null
# Two processes from the installed tree: the installed tool serves, the remote example calls it.
cmake -S examples/remote-power-on -B "$work/remote" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$work/remote" >/dev/null
"$work/prefix/bin/quorl-types" serve --port 0 --user admin:secret >"$work/serve.log" 2>&1 &
server=$!
for _ in $(seq 100); do grep -q 'http://' "$work/serve.log" && break; sleep 0.1; done
url=$(grep -o 'http://[^ ]*' "$work/serve.log")
"$work/remote/remote-power-on" "$url" admin secret >/dev/null
kill -TERM "$server" && wait "$server"
echo "check-install: the installed package builds and runs both consumers, the power-on, wire and remote examples"
