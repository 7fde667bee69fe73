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
  csv_quoting)
    # Quoted commas, doubled quotes, CR LF and LF inside quotes, a byte-order
    # mark, empty and quoted empty fields, blanks kept, ragged rows, a blank
    # line skipped, no line break at the end: the plain table shows the texts.
    expect_output csv_quoting "$here/quoted.html" 0 -- \
      "$tabulon" --csv --html "$here/quoted.csv"
    ;;
  csv_equals_tsv)
    # A CSV file gives what the equivalent TSV gives, quoted or not, CR LF or LF.
    expect_output csv_crlf "$here/crosstab.json" 0 -- \
      "$tabulon" --csv --options 'Measures=Sales&SumOption=SumNone' "$here/crosstab.csv"
    sed 's/\r$//; s/[^,]*/"&"/g' "$here/crosstab.csv" >"$work/quoted.csv"
    expect_output csv_all_quoted_lf "$here/crosstab.json" 0 -- \
      "$tabulon" --csv --options 'Measures=Sales&SumOption=SumNone' "$work/quoted.csv"
    sales=$here/../../examples/sales.csv
    tr ',' '\t' <"$sales" >"$work/sales.tsv"
    options='Measures=Sales,Cost&SumOption=SumIncRowCol&SumPos=SumLast&RowColSort=RowSort'
    "$tabulon" --options "$options" "$work/sales.tsv" >"$work/expected"
    expect_output csv_sales "$work/expected" 0 -- "$tabulon" --csv --options "$options" "$sales"
    ;;
  csv_errors)
    printf 'A,B\n1,2\n3,"abc\nxyz\n' >"$work/unclosed.csv"
    expect_error csv_unclosed_quote -- "$tabulon" --csv "$work/unclosed.csv"
    grep -q 'line 3: unclosed quote' "$work/err" || fail "unclosed quote: $(cat "$work/err")"
    printf 'A,B\n"1\n2",x,"ab\n\n' >"$work/unclosed2.csv"
    expect_error csv_unclosed_after_break -- "$tabulon" --csv "$work/unclosed2.csv"
    grep -q 'line 3: unclosed quote' "$work/err" || fail "unclosed quote: $(cat "$work/err")"
    printf 'A,B\r\n1,x"y\r\n' >"$work/stray.csv"
    expect_error csv_stray_quote -- "$tabulon" --csv "$work/stray.csv"
    grep -q 'line 2: misplaced quote' "$work/err" || fail "stray quote: $(cat "$work/err")"
    ;;
  page_output)
    # --page: a complete page with the stylesheet and the table; -o writes it
    # to a file with logo.png beside it.
    logo=$here/../../java/demo/logo.png
    mkdir "$work/report"
    expect_output page_to_file /dev/null 0 -- "$tabulon" --page -o "$work/report/r.html" \
      --options 'Measures=Sales&SumOption=SumNone' "$here/crosstab.tsv"
    head -n 1 "$work/report/r.html" | grep -qx '<!DOCTYPE html>' || fail "page: no doctype"
    grep -q '^table.gridTable td.colhdr' "$work/report/r.html" || fail "page: no stylesheet"
    grep -qF "$(cat "$here/crosstab.html")" "$work/report/r.html" || fail "page: no table"
    tail -n 1 "$work/report/r.html" | grep -qx '</html>' || fail "page: not closed"
    cmp -s "$logo" "$work/report/logo.png" || fail "page: no logo.png beside the file"
    expect_output json_to_file /dev/null 0 -- "$tabulon" --output="$work/report/r.json" \
      --options 'Measures=Sales&SumOption=SumNone' "$here/crosstab.tsv"
    cmp -s "$work/report/r.json" "$here/crosstab.json" || fail "-o: the JSON file differs"
    expect_error page_into_missing_folder -- "$tabulon" --page -o "$work/none/r.html" \
      "$here/crosstab.tsv"
    expect_error page_and_html -- "$tabulon" --page --html "$here/crosstab.tsv"
    expect_error output_without_file -- "$tabulon" "$here/crosstab.tsv" -o
    # On standard output the page gets logo.png in the working folder.
    mkdir "$work/cwd"
    (cd "$work/cwd" && "$tabulon" --page "$here/crosstab.tsv" >page.html) ||
      fail "page on standard output failed"
    cmp -s "$logo" "$work/cwd/logo.png" || fail "page: no logo.png in the working folder"
    ;;
  progress)
    # More than 50 MB read with standard error on a terminal shows progress;
    # without a terminal nothing is written there.
    head -c 60000000 /dev/zero | tr '\0' x >"$work/big.tsv"
    printf '\t1\n' >>"$work/big.tsv"
    script -qec "$tabulon --gridframe $work/big.tsv" /dev/null >"$work/tty" </dev/null ||
      fail "progress: the run failed"
    grep -q 'reading .*big.tsv: 100% of 57 MB' "$work/tty" || fail "progress: none shown"
    printf '%s' 'row:[],col:[]' >"$work/expected"
    expect_output no_terminal "$work/expected" 0 -- "$tabulon" --gridframe "$work/big.tsv"
    [[ ! -s "$work/err" ]] || fail "progress without a terminal: $(cat "$work/err")"
    ;;
  version)
    "$tabulon" --version >"$work/out" 2>&1 || fail "version: non-zero exit status"
    grep -qx 'tabulon [0-9][0-9.]*' "$work/out" || fail "version: $(cat "$work/out")"
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
