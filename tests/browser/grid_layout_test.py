#!/usr/bin/env python3
"""Loads HTML results of the `tabulon` command in headless Chromium and checks
from the laid-out page (grid_check.js) that every table is a full grid.

  grid_layout_test.py TABULON CHROMIUM SOURCE_DIR

All cases go into one page, so one Chromium start checks them all. Two
deliberately broken tables must be found faulty, which shows that the check
itself sees faults. A missing Chromium is a failure, never a skip.
"""
import html
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

TABULON, CHROMIUM, SOURCE = sys.argv[1:4]
CASES_DIR = os.path.join(SOURCE, "tests", "tabulon_cli_test")
WORKED = os.path.join(CASES_DIR, "crosstab.tsv")
SALES = os.path.join(SOURCE, "examples", "sales.csv")
CSS = os.path.join(SOURCE, "java", "demo", "report.css")
CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "grid_check.js")
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--virtual-time-budget=5000"]


def tabulon(options, path, *flags):
    done = subprocess.run([TABULON, *flags, "--options", options, path],
                          capture_output=True, check=False)
    if done.returncode != 0:
        sys.exit(f"tabulon failed on {path} with {options!r}: {done.stderr.decode()}")
    return done.stdout.decode("utf-8")


def random_table(rng, work, n):
    """A table of 1-3 row levels, 1-2 column levels and 1-2 measures."""
    pool = ["一季度", "二季度", "华东", "北", "A", "b", "2023", "2024", "x y", "长名字" * 3, "合", "0"]
    rows, cols, measures = rng.randint(1, 3), rng.randint(1, 2), rng.randint(1, 2)
    names = [f"R{i}" for i in range(rows)] + ["|"] + [f"C{i}" for i in range(cols)]
    measure_names = [f"M{i}" for i in range(measures)]
    left = rng.random() < 0.25  # measures left of the separator form a row level
    header = names[:rows] + measure_names + names[rows:] if left else names + measure_names
    lines = ["\t".join(header)]
    members = [rng.sample(pool, rng.randint(1, 4)) for _ in range(rows + cols)]
    for _ in range(rng.randint(3, 30)):
        dims = [rng.choice(m) for m in members]
        values = [rng.choice(["", str(rng.randint(0, 999)), f"{rng.random() * 100:.2f}"])
                  for _ in measure_names]
        row = dims[:rows] + (values + ["|"] if left else ["|"]) + dims[rows:]
        lines.append("\t".join(row if left else row + values))
    path = os.path.join(work, f"random{n}.tsv")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    options = "&".join([
        "Measures=" + ",".join(measure_names),
        "SumOption=" + rng.choice(["SumNone", "SumIncRow", "SumIncCol", "SumIncRowCol"]),
        "SumPos=" + rng.choice(["SumFirst", "SumLast"]),
        "RowColSort=" + rng.choice(["RowSort", ""])])
    return options, path


def three_by_two(work):
    """Three row levels and two column levels."""
    lines = ["Region\tProvince\tCity\t|\tYear\tQuarter\tSales"]
    places = [("华东", "江苏", "南京"), ("华东", "江苏", "苏州"), ("华东", "浙江", "杭州"),
              ("华南", "广东", "广州"), ("华南", "广东", "深圳"), ("华北", "河北", "石家庄")]
    k = 0
    for place in places:
        for year in ("2023", "2024"):
            for quarter in ("一季度", "二季度", "三季度"):
                k += 1
                if k % 7 != 3:
                    lines.append("\t".join([*place, "|", year, quarter, str(k * 13 % 97)]))
    path = os.path.join(work, "three_by_two.tsv")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    return path


def cases(work):
    worked = "Measures=Sales&SumOption=SumNone"
    layout = tabulon("Measures=Sales,Cost&SumOption=SumIncRow", SALES, "--gridframe")
    nested = three_by_two(work)
    yield "worked example", tabulon(worked, WORKED, "--html")
    for pos in ("SumFirst", "SumLast"):
        yield f"totals both {pos}", tabulon(
            f"Measures=Sales&SumOption=SumIncRowCol&SumPos={pos}", WORKED, "--html")
        yield f"three row and two column levels, totals {pos}", tabulon(
            f"Measures=Sales&SumOption=SumIncRowCol&SumPos={pos}&RowColSort=RowSort", nested,
            "--html")
    yield "several measures", tabulon(
        "Measures=Sales,Cost&SumOption=SumIncRowCol&SumPos=SumLast", SALES, "--html")
    yield "GridFrame round trip", tabulon(
        f"Measures=Sales,Cost&SumOption=SumIncRow&GridFrame={layout}", SALES, "--html")
    yield "plain table", tabulon("", os.path.join(CASES_DIR, "plain.tsv"), "--html")
    rng = random.Random(20240601)
    for n in range(16):
        options, path = random_table(rng, work, n)
        yield f"random {n} ({options})", tabulon(options, path, "--html")


# Tables that are not full grids: the check must report them.
BROKEN = {
    "broken: row too short": "<Table class=\"gridTable\"><tbody><tr><td>a</td><td>b</td></tr>"
                             "<tr><td>c</td></tr></tbody></Table>",
    "broken: cells overlap": "<Table class=\"gridTable\"><tbody><tr><td>a</td><td rowspan=2>"
                             "b</td></tr><tr><td colspan=2>c</td></tr></tbody></Table>",
    "broken: value left of its row header": "<Table class=\"gridTable\"><tbody><tr><td>1</td>"
                                            "<td class=\"rowhdr\">A</td></tr></tbody></Table>",
    "broken: leaf straddles its header": "<Table class=\"gridTable\"><thead><tr><td colspan=2 "
                                         "class=\"colhdr\">X</td><td>Y</td></tr><tr><td>l1</td>"
                                         "<td colspan=2>l2</td></tr></thead></Table>",
}


def main():
    if shutil.which(CHROMIUM) is None and not os.access(CHROMIUM, os.X_OK):
        sys.exit(f"FAIL: no Chromium at {CHROMIUM} (scripts/setup.sh installs it)")
    with tempfile.TemporaryDirectory() as work:
        parts = list(cases(work)) + list(BROKEN.items())
        with open(CSS, encoding="utf-8") as f:
            css = f.read()
        with open(CHECK, encoding="utf-8") as f:
            script = f.read()
        page = ["<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><style>", css,
                "div.case { margin: 1em 0; }</style></head><body>"]
        for name, fragment in parts:
            page.append(f"<div class=\"case\" data-name=\"{html.escape(name)}\">{fragment}</div>")
        page.append(f"<script>{script}</script></body></html>")
        page_path = os.path.join(work, "cases.html")
        with open(page_path, "w", encoding="utf-8") as f:
            f.write("\n".join(page))
        profile = os.path.join(work, "profile")
        os.mkdir(profile)
        done = subprocess.run([CHROMIUM, *CHROMIUM_FLAGS, f"--user-data-dir={profile}",
                               "--dump-dom", "file://" + page_path],
                              capture_output=True, timeout=120, check=False)
        dom = done.stdout.decode("utf-8", "replace")
        found = re.search(r"<pre id=\"verdict\">(.*?)</pre>", dom, re.S)
        if done.returncode != 0 or not found:
            sys.exit(f"FAIL: Chromium gave no verdict (status {done.returncode}): "
                     f"{done.stderr.decode(errors='replace')[-2000:]}")
        verdicts = dict(line.split("\t", 1) for line in html.unescape(found.group(1)).split("\n"))
    failures = 0
    for name, _ in parts:
        verdict = verdicts.get(name, "FAIL: no verdict")
        ok = verdict == "OK"
        if ok == (name in BROKEN):
            failures += 1
            print(f"FAIL {name}: {verdict}" if not ok else f"FAIL {name}: not found faulty")
        else:
            print(f"ok   {name}: {verdict}")
    if failures:
        sys.exit(f"{failures} case(s) failed")


main()
