#!/usr/bin/env bash
# End-to-end tests of the `tabulon` command: run.sh TABULON CASE.
# Each case runs the command on the tables beside this script and compares
# its output byte for byte with the expected text.
set -u
tabulon=$1
case_name=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# expect_output NAME EXPECTED_FILE STATUS -- COMMAND...: runs COMMAND with
# standard input as given by the caller, checks its exit status and that its
# standard output equals EXPECTED_FILE.
expect_output() {
  local name=$1 expected=$2 status=$3
  shift 4
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [[ $got == "$status" ]] || fail "$name: exit status $got, expected $status ($(cat "$work/err"))"
  if ! cmp -s "$work/out" "$expected"; then
    fail "$name: output differs"
    diff "$expected" "$work/out" | head -20 >&2
  fi
}

# expect_error NAME -- COMMAND...: COMMAND must exit 2, print nothing on
# standard output and exactly one line on standard error.
expect_error() {
  local name=$1
  shift 2
  "$@" >"$work/out" 2>"$work/err" </dev/null
  local got=$?
  [[ $got == 2 ]] || fail "$name: exit status $got, expected 2"
  [[ ! -s "$work/out" ]] || fail "$name: wrote to standard output"
  [[ $(wc -l <"$work/err") == 1 && $(tail -c1 "$work/err" | od -An -c | tr -d ' ') == '\n' ]] ||
    fail "$name: standard error is not one line: $(cat "$work/err")"
}

case $case_name in
  crosstab_html)
    # The cross-tab example: Region, City | Year with the measure Sales.
    expect_output crosstab_html "$here/crosstab.html" 0 -- \
      "$tabulon" --options 'Measures=Sales&SumOption=SumNone' --html "$here/crosstab.tsv"
    ;;
  plain_html)
    # No separator column: the plain table.
    expect_output plain_html "$here/plain.html" 0 -- "$tabulon" --html "$here/plain.tsv"
    ;;
  gridframe)
    printf '%s' 'row:[Region,City],col:[2019[Sales],2020[Sales]]' >"$work/expected"
    expect_output gridframe "$work/expected" 0 -- \
      "$tabulon" --gridframe --options 'Measures=Sales' "$here/crosstab.tsv"
    ;;
  gridframe_roundtrip)
    # The GridFrame text given back as an option fixes the same layout.
    layout='row:[Region,City],col:[2019[Sales],2020[Sales]]'
    expect_output gridframe_roundtrip "$here/crosstab.html" 0 -- \
      "$tabulon" --html --options "Measures=Sales&GridFrame=$layout" "$here/crosstab.tsv"
    printf '%s' "$layout" >"$work/expected"
    expect_output gridframe_roundtrip_text "$work/expected" 0 -- \
      "$tabulon" --gridframe --options "Measures=Sales&GridFrame=$layout" "$here/crosstab.tsv"
    ;;
  json_csv)
    # Comma-separated input with CR LF line ends, read from standard input.
    expect_output json_csv "$here/crosstab.json" 0 -- \
      "$tabulon" --options='Measures=Sales&SumOption=SumNone' <"$here/crosstab.csv"
    expect_output json_csv_dash "$here/crosstab.json" 0 -- \
      "$tabulon" --options='Measures=Sales&SumOption=SumNone' - <"$here/crosstab.csv"
    ;;
  empty_input)
    # An empty file gives the result of an empty result set.
    : >"$work/empty.csv"
    printf '%s\n' '{"req":{"GridFrame":"","Measures":"","Separate":"","SumOption":"","SumPos":""},"ret":{"GridFrame":"row:[],col:[]","Html":"提交的数据不正常，请提交正常的csv数据"}}' \
      >"$work/expected"
    expect_output empty_file "$work/expected" 0 -- "$tabulon" "$work/empty.csv"
    expect_output empty_stdin "$work/expected" 0 -- "$tabulon" </dev/null
    printf '%s\n' '{"req":{"GridFrame":"[]","Measures":"a","Separate":"$","SumOption":"SunIncRowCol","SumPos":""},"ret":{"GridFrame":"row:[],col:[]","Html":"提交的数据不正常，请提交正常的csv数据"}}' \
      >"$work/expected"
    expect_output empty_with_options "$work/expected" 0 -- \
      "$tabulon" --options 'SumOption=SunIncRowCol&Separate=$&Measures=a&GridFrame=[]' "$work/empty.csv"
    ;;
  cli_errors)
    expect_error missing_file -- "$tabulon" "$work/no-such-file.csv"
    expect_error directory -- "$tabulon" "$work"
    expect_error unknown_flag -- "$tabulon" --colour "$here/plain.tsv"
    expect_error short_unknown_flag -- "$tabulon" -x
    expect_error options_without_text -- "$tabulon" --options
    expect_error two_files -- "$tabulon" "$here/plain.tsv" "$here/plain.tsv"
    expect_error html_and_gridframe -- "$tabulon" --html --gridframe "$here/plain.tsv"
    if [[ $(id -u) != 0 ]]; then
      cp "$here/plain.tsv" "$work/locked.tsv" && chmod 000 "$work/locked.tsv"
      expect_error unreadable_file -- "$tabulon" "$work/locked.tsv"
    fi
    ;;
  help)
    "$tabulon" --help >"$work/out" 2>&1 || fail "help: non-zero exit status"
    grep -q 'Usage: tabulon' "$work/out" || fail "help: no usage line"
    grep -q "Measures=Sales,Cost&SumOption=SumIncRowCol" "$work/out" || fail "help: no example"
    ;;
  sample_table)
    # The shipped example table renders as a cross-tab with totals.
    "$tabulon" --html --options 'Measures=Sales,Cost&SumOption=SumIncRowCol&SumPos=SumLast' \
      "$here/../../examples/sales.csv" >"$work/out" 2>"$work/err" || fail "sample_table: failed"
    [[ ! -s "$work/err" ]] || fail "sample_table: wrote to standard error: $(cat "$work/err")"
    grep -q 'class="rowhdr">华东</td>' "$work/out" || fail "sample_table: no region 华东"
    grep -q 'class="colhdr">一季度</td>' "$work/out" || fail "sample_table: no quarter 一季度"
    grep -q '合计' "$work/out" || fail "sample_table: no totals"
    ;;
  memory_exhausted)
    # Ten rows of 10 MB values under address-space limits that run out in
    # different places: each run either prints the whole result or exits 2
    # with one line on standard error and nothing on standard output.
    value=$(head -c 10000000 /dev/zero | tr '\0' 7)
    { printf 'R\t|\tC\tm\n'; for i in 0 1 2 3 4 5 6 7 8 9; do printf 'r%s\t\tc\t%s\n' $i "$value"; done; } \
      >"$work/big.tsv"
    "$tabulon" --options Measures=m "$work/big.tsv" >"$work/whole" || fail "memory_exhausted: unlimited run failed"
    exhausted=0
    for kb in 150000 250000 350000 450000 550000; do
      (ulimit -v $kb && exec "$tabulon" --options Measures=m "$work/big.tsv") >"$work/out" 2>"$work/err"
      got=$?
      if [[ $got == 0 ]]; then
        cmp -s "$work/out" "$work/whole" || fail "memory_exhausted: $kb KB: output differs"
        [[ ! -s "$work/err" ]] || fail "memory_exhausted: $kb KB: $(cat "$work/err")"
        continue
      fi
      exhausted=$((exhausted + 1))
      [[ $got == 2 ]] || fail "memory_exhausted: $kb KB: exit status $got ($(cat "$work/err"))"
      [[ ! -s "$work/out" ]] || fail "memory_exhausted: $kb KB: wrote to standard output"
      [[ $(wc -l <"$work/err") == 1 ]] || fail "memory_exhausted: $kb KB: $(cat "$work/err")"
    done
    ((exhausted > 0)) || fail "memory_exhausted: no limit ran out of memory"
    ;;
  *)
    fail "unknown case $case_name"
    ;;
esac

if ((failures > 0)); then
  echo "$failures check(s) failed in $case_name" >&2
  exit 1
fi
echo "$case_name: passed"
