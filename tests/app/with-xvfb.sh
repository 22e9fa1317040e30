#!/bin/sh
# Runs a command on an Xvfb server of its own. -displayfd lets Xvfb take the first display whose
# lock file and sockets are all free: "xvfb-run -a" only looks at the lock files in /tmp and,
# beside other test runs, could hand the command someone else's server. -noreset: by default the
# server resets whenever its last client leaves, and a program connecting during the reset (the
# next test's trayer or openbox after a short-lived xdotool) is told "cannot open display".
set -u
scratch=$(mktemp -d) || exit 1
xvfb=""
clean_up() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null
    fi
    rm -rf "$scratch"
}
trap clean_up EXIT
trap 'exit 1' INT TERM

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb=$!
tries=0
while ! grep -q '[0-9]' "$scratch/display" 2>/dev/null; do
    tries=$((tries + 1))
    if [ "$tries" -gt 300 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        echo "with-xvfb.sh: Xvfb did not start within 30 s:" >&2
        cat "$scratch/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done
DISPLAY=":$(tr -d '\n' <"$scratch/display")" "$@"
status=$?
exit "$status"
