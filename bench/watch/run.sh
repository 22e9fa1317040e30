#!/usr/bin/env bash
# Builds the program and the watch benchmark (the dev preset's optimised build) and prints:
#  - the cost of one watch tick over 1,000, 10,000 and 100,000 unchanged upload files in ten
#    folders, against find printing their modification times (targets: within 2 times find;
#    the per-file cost at 100,000 within 1.5 times that at 1,000);
#  - the CPU time an idle "morvex /o" over 10,000 files uses during 60 s (target: under 2 %);
#  - the delay from a save's close to the converted file, median and longest (target with
#    notification: median under 200 ms);
#  - 20,000 changed files converted by the watch against morvex-convert converting the same
#    files (target: within 2 times), and the time from SIGTERM to the end during that look
#    (target: under 1 s).
# Options go to the benchmark: --runs N, --sizes A,B,C, --idle-seconds S, --batch FILES, --dir DIR.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target morvex morvex-convert morvex-watch-bench >/dev/null
exec build/bin/morvex-watch-bench --morvex "$(realpath build/bin/morvex)" \
    --convert "$(realpath build/bin/morvex-convert)" \
    --dir "${TMPDIR:-/tmp}/morvex-watch-bench.$$" "$@"
