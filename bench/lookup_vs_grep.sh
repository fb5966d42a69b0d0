#!/usr/bin/env bash
# Whole-process speed of tenmari-lookup on Japan Post's nationwide file, warm
# cache, side by side in hyperfine runs with `cat` of the file (the cost of
# reading it once) and `grep -c -F` for the same literal:
#   TENMARI_KEN_ALL=/path/to/ken_all.zip bash bench/lookup_vs_grep.sh [ROUNDS] [RUNS]
# Each round is one hyperfine run of every command RUNS times; a short round
# sees about the same load of the machine for all its commands. Prints, per
# command, the median over the rounds of its median time and of its ratio to
# cat's median in the same round. grep writes into a pipe that hyperfine
# drains (its own run in the same round): GNU grep notices an output of
# /dev/null and stops at its first match even with -c, which is no full scan.
# With TENMARI_LOOKUP_BEFORE naming another
# build of tenmari-lookup, its two searches run in the same rounds. The
# program is built with optimisation for speed (Release) in build-release,
# or in TENMARI_BUILD_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
src=${TENMARI_KEN_ALL:-}
rounds=${1:-5}
runs=${2:-40}
if [ -z "$src" ] || [ ! -f "$src" ]; then
  echo "TENMARI_KEN_ALL is not set to Japan Post's ken_all.zip or KEN_ALL.CSV: nothing to measure."
  exit 0
fi
TENMARI_WITH_BENCH=1 bash scripts/install-deps.sh
build=${TENMARI_BUILD_DIR:-build-release}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target tenmari-lookup >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case "$src" in
  *.zip|*.ZIP) unzip -p "$src" KEN_ALL.CSV > "$work/KEN_ALL.CSV" ;;
  *) cp "$src" "$work/KEN_ALL.CSV" ;;
esac
# grep gets its literal in code page 932 from a file (hyperfine takes UTF-8 only).
printf '"100' > "$work/prefix.pat"
printf '北海道' | iconv -f UTF-8 -t CP932 > "$work/address.pat"
lookup=$(cd "$build" && pwd)/bin/tenmari-lookup
cd "$work"

echo "$(wc -l < KEN_ALL.CSV) lines, $(wc -c < KEN_ALL.CSV) bytes; warm cache, output to /dev/null (grep: into a pipe);" \
     "$rounds rounds of $runs runs each"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
before=()
if [ -n "${TENMARI_LOOKUP_BEFORE:-}" ]; then
  before=(-n "before: tenmari-lookup prefix 100" "$TENMARI_LOOKUP_BEFORE --dict KEN_ALL.CSV prefix 100"
          -n "before: tenmari-lookup address 北海道" "$TENMARI_LOOKUP_BEFORE --dict KEN_ALL.CSV address 北海道")
fi
for round in $(seq "$rounds"); do
  hyperfine -N --warmup 10 --runs "$runs" --output=null --export-json "round$round.json" \
    -n cat "cat KEN_ALL.CSV" "${before[@]}" \
    -n "tenmari-lookup prefix 100" "$lookup --dict KEN_ALL.CSV prefix 100" \
    -n "tenmari-lookup address 北海道" "$lookup --dict KEN_ALL.CSV address 北海道" >/dev/null 2>&1
  hyperfine -N --warmup 10 --runs "$runs" --output=pipe --export-json "grep$round.json" \
    -n "grep -c -F '\"100', into a pipe" "grep -c -F -f prefix.pat KEN_ALL.CSV" \
    -n "grep -c -F 北海道, into a pipe" "grep -c -F -f address.pat KEN_ALL.CSV" >/dev/null 2>&1
done
python3 - "$rounds" <<'PY'
import json, statistics, sys
rounds = [json.load(open(f"round{k}.json"))["results"] + json.load(open(f"grep{k}.json"))["results"]
          for k in range(1, int(sys.argv[1]) + 1)]
print("| command | median | × cat | × cat, each round |")
print("|---|---|---|---|")
for i, x in enumerate(rounds[0]):
    times = [r[i]["median"] for r in rounds]
    ratios = [r[i]["median"] / r[0]["median"] for r in rounds]
    each = " ".join(f"{v:.2f}" for v in ratios)
    print(f"| `{x['command']}` | {statistics.median(times) * 1000:.2f} ms | {statistics.median(ratios):.2f} | {each} |")
PY
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
