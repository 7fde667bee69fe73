#!/usr/bin/env bash
# run.sh JAVA TABULON_JAR H2_JAR CHECK_JAR LIBRARY EXPECTED_JSON: starts fresh
# JVMs from an empty folder with only tabulon.jar, the H2 driver and the check
# class on the class path, and checks where libTabulon comes from:
#   - no setting: the copy bundled in the jar, from a private temporary file
#     that is gone once loaded (through tabulon.Tabulon and through a binding
#     class of the caller's own);
#   - java.library.path holding the library: that file;
#   - tabulon.library.path: that file, ahead of java.library.path.
set -u
java=$1 jar=$2 h2=$3 check=$4 library=$5 expected=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run NAME MODE EXPECTED_MAPPING_PATTERN JAVA_FLAGS...
run() {
  local name=$1 mode=$2 pattern=$3
  shift 3
  rm -rf "$work/cwd" "$work/tmp" && mkdir "$work/cwd" "$work/tmp"
  (cd "$work/cwd" && "$java" -Xcheck:jni -Djava.io.tmpdir="$work/tmp" "$@" \
     -cp "$jar:$h2:$check" tabulon.check.JarOnly "$mode") >"$work/out" 2>"$work/err"
  local status=$?
  [[ $status == 0 ]] || { fail "$name: exit status $status: $(head -5 "$work/err")"; return; }
  [[ ! -s "$work/err" ]] || fail "$name: wrote to standard error: $(head -5 "$work/err")"
  head -n 1 "$work/out" | cmp -s - "$expected" || fail "$name: the JSON text differs"
  local mapped
  mapped=$(tail -n 1 "$work/out")
  [[ $mapped == $pattern ]] || fail "$name: libTabulon mapped from '$mapped', expected $pattern"
  [[ -z $(ls -A "$work/tmp") ]] || fail "$name: left $(ls -A "$work/tmp") in java.io.tmpdir"
  [[ -z $(ls -A "$work/cwd") ]] || fail "$name: left $(ls -A "$work/cwd") in the folder"
}

bundled="$work/tmp/libTabulon*.so (deleted)"
run bundled tabulon "$bundled"
run bundled_own_binding binding "$bundled"
mkdir -p "$work/libdir" && cp "$library" "$work/libdir/libTabulon.so"
run java_library_path tabulon "$work/libdir/libTabulon.so" -Djava.library.path="$work/libdir"
run library_property tabulon "$library" -Djava.library.path="$work/libdir" \
  -Dtabulon.library.path="$library"

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "jar checks passed"
