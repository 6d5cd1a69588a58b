#!/usr/bin/env bash
# Search side by side on one tree: tamrel-bench (one scan, then each query timed in-process)
# against plocate answering from its own database of the same tree and fdfind walking the tree.
# Prints the median milliseconds of each and the ratios.
#   bash bench/compare-search.sh TREE WORD...
# Needs the Debian packages plocate and fd-find; $TAMREL_BENCH names the tamrel-bench binary.
set -euo pipefail
tree=${1:?usage: compare-search.sh TREE WORD...}
shift
bench=${TAMREL_BENCH:-build/bench/tamrel-bench}
runs=${RUNS:-21}
fdruns=${FDRUNS:-5}
db=$(mktemp /tmp/tamrel-compare-plocate.XXXXXX)
trap 'rm -f "$db"' EXIT
updatedb -l no -U "$tree" -o "$db"

# Median wall-clock milliseconds of N runs of a command, its output thrown away.
median_ms() {
    local n=$1
    shift
    local times=()
    for ((r = 0; r < n; r++)); do
        local start end
        start=$(date +%s%N)
        "$@" >/dev/null || true
        end=$(date +%s%N)
        times+=($((end - start)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{t[NR] = $1} END {printf "%.3f", t[int((NR + 1) / 2)] / 1e6}'
}

ours=$("$bench" search "$tree" "$@" --runs "$runs" --show 0 2>/dev/null)
printf '%-14s %8s %8s %8s %10s %11s %10s %9s %9s\n' word total plocate# fdfind# tamrel-ms \
    plocate-ms fdfind-ms plocate/x fdfind/x
i=0
for word in "$@"; do
    i=$((i + 1))
    line=$(sed -n "${i}p" <<<"$ours")
    total=$(sed -n 's/.*total \([0-9]*\).*/\1/p' <<<"$line")
    t=$(sed -n 's/.*median \([0-9.]*\) ms.*/\1/p' <<<"$line")
    pn=$(plocate -d "$db" "$word" | wc -l || true)
    fn=$(fdfind -u --color never "$word" "$tree" | wc -l || true)
    p=$(median_ms "$runs" plocate -d "$db" "$word")
    f=$(median_ms "$fdruns" fdfind -u --color never "$word" "$tree")
    printf '%-14s %8s %8s %8s %10s %11s %10s %9.1f %9.1f\n' "$word" "$total" "$pn" "$fn" "$t" "$p" "$f" \
        "$(awk -v a="$p" -v b="$t" 'BEGIN {print a / b}')" "$(awk -v a="$f" -v b="$t" 'BEGIN {print a / b}')"
done
