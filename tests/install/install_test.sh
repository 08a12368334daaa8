#!/usr/bin/env bash
# The install as a new user meets it: `cmake --install` of the build into a fresh
# prefix; the public headers compile on their own; the example caller builds against
# the installed tree through find_package and through pkg-config, and runs (on SQLite,
# and on PostgreSQL when QXDB_TEST_PG_URL is set); the library's SONAME, the tool's
# --version and its man page.
#   install_test.sh BUILD_DIR SOURCE_DIR CXX [CXXFLAGS]
set -euo pipefail
build=$1 source=$2 cxx=$3 flags=${4:-}
work=$(mktemp -d /tmp/logmapper-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# What is installed, where a user looks for it.
lib=$(ls "$prefix"/lib*/libtolk_map.so.*.*.* 2>/dev/null | head -n 1)
[ -n "$lib" ] || fail "no libtolk_map.so.MAJOR.MINOR.PATCH"
libdir=$(dirname "$lib")
version=$("$prefix/bin/logmapper" --version)
[[ $version =~ ^logmapper\ ([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] || fail "--version said: $version"
major=${BASH_REMATCH[1]}
[ "$(basename "$lib")" = "libtolk_map.so.${version#logmapper }" ] || fail "$lib is not version $version"
soname=$(objdump -p "$lib" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = "libtolk_map.so.$major" ] || fail "SONAME is '$soname'"
[ -L "$libdir/libtolk_map.so.$major" ] && [ -L "$libdir/libtolk_map.so" ] || fail "no library links"
for f in include/logmapper/tolk.h share/man/man1/logmapper.1; do
  [ -f "$prefix/$f" ] || fail "no $f"
done
[ -f "$libdir/cmake/logmapper/logmapperConfig.cmake" ] || fail "no CMake package"
[ -f "$libdir/pkgconfig/logmapper.pc" ] || fail "no pkg-config file"
# The man page describes every command the tool has.
for c in $("$prefix/bin/logmapper" --help | awk '/^commands:/ { on = 1; next } /^$/ { on = 0 } on { print $1 }'); do
  grep -q "^\.SS $c\b" "$prefix/share/man/man1/logmapper.1" || fail "the man page lacks $c"
done

# Every public header compiles on its own, from the installed tree alone; none is a
# driver's.
! grep -rqE '#include [<"](sqlite3|libpq-fe)\.h' "$prefix/include" || fail "a driver header is public"
for h in $(cd "$prefix/include/logmapper" && find . -name '*.h' | sort); do
  printf '#include "%s"\n' "${h#./}" > "$work/one.cpp"
  $cxx -std=c++17 $flags -fsyntax-only -I"$prefix/include/logmapper" "$work/one.cpp" \
    || fail "$h does not compile on its own"
done

# The example, both ways.
cmake -S "$source/examples" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$work/cmake-build" >/dev/null
PKG_CONFIG_PATH=$libdir/pkgconfig
export PKG_CONFIG_PATH
[ "$(pkg-config --modversion logmapper)" = "${version#logmapper }" ] || fail "pkg-config version"
# shellcheck disable=SC2046
$cxx -std=c++17 $flags "$source/examples/embed.cpp" $(pkg-config --cflags --libs logmapper) \
  -Wl,-rpath,"$libdir" -o "$work/embed-pc"

run() {  # run EXAMPLE STORE LOG
  local out
  out=$(QXDB_URL=$2 "$1" "$3") || fail "$1 on $2: exit $?"
  grep -q '^read 3 records$' <<<"$out" || fail "$1 on $2 printed: $out"
}
run "$work/cmake-build/embed" "sqlite:$work/a.db" example
run "$work/embed-pc" "sqlite:$work/b.db" example
run "$work/embed-pc" "sqlite:$work/b.db" example  # again, on the store it left
if [ -n "${QXDB_TEST_PG_URL:-}" ]; then
  run "$work/cmake-build/embed" "$QXDB_TEST_PG_URL" "example_$$"
fi
echo "install test: passed ($prefix)"
