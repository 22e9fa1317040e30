#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs them for a total of $1 seconds (default 60), shared out evenly. Fails on a crash,
# leaving the crash file in build-fuzz/fuzz-out/ (replay it with the target and the file name).
set -euo pipefail
cd "$(dirname "$0")/.."

budget=${1:-60}
targets=(rewrite rewriteutf8 expand pool paths rounds settings_file)
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]/#/fuzz_}"

each=$(( budget / ${#targets[@]} ))
[ "$each" -ge 1 ] || each=1
out=build-fuzz/fuzz-out
mkdir -p "$out"
for t in "${targets[@]}"; do
    corpus="$out/corpus-$t"
    mkdir -p "$corpus"
    case $t in
        settings_file) cp -n tests/settings/fuzz-corpus/* "$corpus"/ 2>/dev/null || true ;;
        *) cp -n tests/engine/fuzz/corpus/* examples/* "$corpus"/ 2>/dev/null || true ;;
    esac
    echo "fuzz: $t for ${each}s"
    if ! build-fuzz/bin/fuzz_"$t" -max_total_time="$each" -max_len=65536 -rss_limit_mb=1024 \
        -timeout=10 -artifact_prefix="$out/$t-" -print_final_stats=0 "$corpus" \
        >"$out/$t.log" 2>&1; then
        tail -n 40 "$out/$t.log"
        echo "fuzz: $t FAILED; crash file: $(ls -t "$out/$t-"* 2>/dev/null | head -n 1)"
        exit 1
    fi
    grep -E '^#[0-9]+ *DONE' "$out/$t.log" || tail -n 1 "$out/$t.log"
done
echo "fuzz: no crashes"
