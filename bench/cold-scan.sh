#!/usr/bin/env bash
# Cold-cache timing of scan commands side by side. Each round runs every command once, in turn,
# after `sync` and dropping the page, dentry and inode caches (root only), and times it by the
# wall clock. Prints each command's min, median and max, and the median of its ratio to the first
# command taken round by round (pairing keeps the ratio meaningful when the machine drifts).
#
#   bench/cold-scan.sh [-n ROUNDS] 'COMMAND A' 'COMMAND B' ...
#
# Example: bench/cold-scan.sh -n 5 'build/bench/tamrel-bench scan /tree' 'gdu -n -p /tree'
set -euo pipefail

rounds=5
if [[ "${1:-}" == "-n" ]]; then
    rounds=$2
    shift 2
fi
if [[ $# -lt 1 ]]; then
    echo "usage: $0 [-n ROUNDS] 'COMMAND' ..." >&2
    exit 2
fi
if ! [[ -w /proc/sys/vm/drop_caches ]]; then
    echo "$0: dropping caches needs root" >&2
    exit 1
fi

commands=("$@")
times=$(mktemp)
trap 'rm -f "$times"' EXIT

for ((r = 0; r < rounds; r++)); do
    for c in "${!commands[@]}"; do
        sync
        echo 3 >/proc/sys/vm/drop_caches
        start=$(date +%s%N)
        sh -c "${commands[$c]}" >/dev/null 2>&1 || echo "round $r command $c failed" >&2
        end=$(date +%s%N)
        echo "$r $c $(((end - start) / 1000))" >>"$times"
    done
done

for c in "${!commands[@]}"; do
    stats=$(awk -v c="$c" '$2 == c { print $3 / 1e6 }' "$times" | sort -g |
        awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
              printf "min %.3f  median %.3f  max %.3f", v[1], m, v[NR] }')
    ratio=$(awk -v c="$c" '$2 == 0 { a[$1] = $3 } $2 == c { b[$1] = $3 }
              END { for (r in b) print b[r] / a[r] }' "$times" | sort -g |
        awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
              printf "%.2f", m }')
    printf '%s  ratio-to-first %s  %s\n' "$stats" "$ratio" "${commands[$c]}"
done
