#!/usr/bin/env bash
# install_check.sh CMAKE BUILD_DIR WITH_JAVA: installs the build into a new
# folder and checks that the library, the command, its manual page and (with
# Java) the jar are where GNUInstallDirs puts them, and that they work there.
set -u
cmake=$1 build=$2 with_java=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
"$cmake" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || fail "install: $(cat "$prefix.log")"
rm -f "$prefix.log"
libdir=$(ls -d "$prefix"/lib* 2>/dev/null | head -n 1)
[[ -f $libdir/libTabulon.so ]] || fail "no libTabulon.so under $prefix/lib*"
[[ -x $prefix/bin/tabulon ]] || fail "no bin/tabulon"
grep -q '^\.TH TABULON "1"' "$prefix/share/man/man1/tabulon.1" 2>/dev/null || fail "no manual page"
grep -q -- '--csv' "$prefix/share/man/man1/tabulon.1" 2>/dev/null || fail "manual lacks --csv"
if [[ $with_java == ON ]]; then
  [[ -f $prefix/share/java/tabulon.jar ]] || fail "no share/java/tabulon.jar"
fi
printf 'Name\tQty\na\t1\n' | "$prefix/bin/tabulon" --html >/dev/null || fail "installed tabulon fails"
if ((failures > 0)); then
  exit 1
fi
echo "install check passed"
