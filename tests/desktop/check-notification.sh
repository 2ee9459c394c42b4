#!/bin/sh
# The notification at the end of a desktop run, against a real D-Bus session bus
# (dbus-run-session) whose notification service is python3-dbusmock's stand-in, which logs every
# call it gets. dudez runs with --window on a private Xvfb; xdotool presses Return for the
# message box and for Done. Checked: a run with damage, a clean run, a run with a failure, a
# headless run (no notification), and a desktop run with no notification service (no error).
#   check-notification.sh DUDEZ SAMPLE.kob KOBPACK
# Exit 77 (skipped) when a tool it needs is missing.
set -u
dudez=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
sample=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
kobpack=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
# Debian's interpreter, which has the D-Bus bindings the stand-in service needs.
python=/usr/bin/python3
for tool in dbus-run-session dbus-send Xvfb xdotool; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done
"$python" -c 'import dbusmock' 2>/dev/null || { echo "skipped: python3-dbusmock is not installed"; exit 77; }

if [ "${4:-}" != inside ]; then
    exec dbus-run-session -- sh "$0" "$dudez" "$sample" "$kobpack" inside
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/dudez-notify.XXXXXX") || exit 1
mock="" xvfb=""
trap '[ -n "$mock" ] && kill "$mock" 2>/dev/null; [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# -noreset: between two runs no client is connected, and a server that resets then refuses the
# next run its connection for a moment (the run would go on without a window).
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
"$python" -m dbusmock --session --template notification_daemon -l "$work/calls.log" >/dev/null 2>&1 &
mock=$!
service_up() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications 2>/dev/null | grep -q 'boolean true'
}
i=0
while { [ ! -s "$work/display" ] || ! service_up; } && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
service_up || { echo "FAIL: the stand-in notification service did not start"; exit 1; }
export DISPLAY=":$(cat "$work/display")"

# Runs dudez with these arguments in $work/run, pressing Return until it ends; sets $status.
run() {
    rm -rf "$work/run" && mkdir "$work/run" && cp "$sample" "$work/run/demo.kob"
    printf 'not a kob' >"$work/run/bad.kob"
    [ -f "$work/clean.kob" ] && cp "$work/clean.kob" "$work/run/clean.kob"
    (cd "$work/run" && exec "$dudez" "$@" >"$work/stdout" 2>"$work/stderr" </dev/null) &
    pid=$!
    # Return only once the window is up: a key pressed before it has the focus goes nowhere.
    shown=no
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 100 ]; do
        if xdotool search --onlyvisible --class dudez >/dev/null 2>&1; then shown=yes; break; fi
        sleep 0.05
        i=$((i + 1))
    done
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 300 ]; do
        xdotool key Return >/dev/null 2>&1
        sleep 0.1
        i=$((i + 1))
    done
    kill "$pid" 2>/dev/null
    wait "$pid"
    status=$?
    said="window shown: $shown; printed: $(cat "$work/stdout" "$work/stderr")"
}
notifications() {
    grep -c ' Notify ' "$work/calls.log" 2>/dev/null || true
}

# The sample holds one damaged block: converted, with damage.
run --window demo.kob
[ "$status" -eq 0 ] || fail "the sample's run ended with $status"
grep ' Notify ' "$work/calls.log" >"$work/notify" 2>/dev/null
[ "$(notifications)" -eq 1 ] || fail "a desktop run with damage sent $(notifications) notifications, not 1"
grep -q '"DUDEZ" 0 "dudez" "DUDEZ: done, damage was silenced" "dudez: 1 name, 1 converted (1 with damage), 0 not a KOB file or corrupted, 0 could not be opened, 0 not converted"' "$work/notify" ||
    fail "the notification of a run with damage: $(cat "$work/notify") ($said)"

# The sample's undamaged recording packed on its own: all well.
"$kobpack" "$work/run/welcome.wav" -o "$work/clean.kob" >/dev/null 2>&1 || fail "kobpack failed"
run --window clean.kob
[ "$status" -eq 0 ] || fail "the clean run ended with $status"
tail -n 1 "$work/calls.log" | grep -q '"DUDEZ: done, nothing damaged or failed" "dudez: 1 name, 1 converted (0 with damage)' ||
    fail "the notification of a clean run: $(tail -n 1 "$work/calls.log") ($said)"

# A file that is not a KOB file: something failed.
run --window bad.kob demo.kob
[ "$status" -eq 1 ] || fail "the run with a bad file ended with $status"
tail -n 1 "$work/calls.log" | grep -q '"DUDEZ: something failed, and damage was silenced" "dudez: 2 names, 1 converted (1 with damage), 1 not a KOB file or corrupted' ||
    fail "the notification of a run with a failure: $(tail -n 1 "$work/calls.log") ($said)"
[ "$(notifications)" -eq 3 ] || fail "$(notifications) notifications after the third run, not 3"

# A headless run tells no desktop.
run --no-window demo.kob
[ "$(notifications)" -eq 3 ] || fail "a headless run sent a notification"

# No notification service: the run ends as it would anyway, and says nothing about it.
kill "$mock"
wait "$mock" 2>/dev/null
mock=""
i=0
while service_up && [ $i -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
run --window demo.kob
[ "$status" -eq 0 ] || fail "without a notification service the run ended with $status"
[ -s "$work/stderr" ] && fail "without a notification service the run said: $(cat "$work/stderr")"
grep -q '^dudez: 1 name, 1 converted' "$work/stdout" || fail "without a notification service the report was: $(cat "$work/stdout")"

[ "$failures" -eq 0 ] || exit 1
echo "notifications in order"
