#!/usr/bin/env bash
# Runs every libFuzzer harness of the fuzz build on its checked-in seeds for a fixed time.
#   scripts/fuzz.sh [SECONDS_EACH] [BUILD_DIR]    (defaults: 15, build-fuzz)
# New inputs go to a scratch corpus, never into fuzz/corpus; a crash leaves its input in the
# scratch folder, named by libFuzzer, and the script fails.
set -u
cd "$(dirname "$0")/.."
seconds=${1:-15}
build=${2:-build-fuzz}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarnis-fuzz-corpus-XXXXXX")
status=0
for seeds in fuzz/corpus/*/; do
    name=$(basename "$seeds")
    mkdir -p "$scratch/$name"
    echo "== $name (${seconds}s)"
    if ! "$build/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$scratch/$name/" \
        "$scratch/$name" "$seeds" >"$scratch/$name.log" 2>&1; then
        tail -60 "$scratch/$name.log"
        echo "FAILED: $name (input kept in $scratch/$name/)"
        status=1
    else
        grep -E "stat::number_of_executed_units|stat::new_units_added" "$scratch/$name.log"
    fi
done
if [ $status -eq 0 ]; then
    rm -rf "$scratch"
fi
exit $status
