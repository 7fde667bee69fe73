#!/usr/bin/env bash
# The demo: sets up and builds Tabulon (into build/), then runs a query,
# transforms its result set and writes an HTML report (report.html in the
# current directory unless --out says otherwise, logo.png beside it), and
# prints the GridFrame text and the report's path.
#
# Without flags it uses an embedded H2 in-memory database with a sample
# sales table. On another database:
#   CLASSPATH=/path/to/driver.jar scripts/demo.sh --url JDBC_URL \
#     [--user NAME --password TEXT] --query SQL --options TEXT [--out FILE]
# scripts/demo.sh --help lists the flags. TABULON_BUILD_DIR overrides build/.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TABULON_BUILD_DIR:-$root/build}"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

"$root/scripts/setup.sh"
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build "$build" -j "$(nproc)" --target Tabulon tabulon_demo; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "demo: the build failed" >&2
  exit 1
fi

classpath="$build/java/tabulon-demo.jar:$build/java/tabulon.jar:/usr/share/java/h2.jar"
exec java -Dtabulon.library.path="$build/libTabulon.so" \
  -cp "$classpath${CLASSPATH:+:$CLASSPATH}" tabulon.demo.Demo "$@"
