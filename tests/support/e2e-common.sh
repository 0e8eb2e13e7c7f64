# Shared by the end-to-end scripts: a scratch folder, skip/fail/pass reporting, polling, and
# the teardown of everything the script started. Source it first.
#   pids:   processes to stop at exit.
#   groups: process groups (started with setsid) to stop at exit, with all they spawned.
#   skip:   exit 77, which CTest reports as skipped (SKIP_RETURN_CODE).
work=$(mktemp -d)
pids=()
groups=()
cleanup() {
    exec 3>&- 2>/dev/null
    local pid group index tries
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    # Newest first: a compositor goes before the buses it talks to.
    for ((index = ${#groups[@]} - 1; index >= 0; index--)); do
        kill -TERM -- "-${groups[index]}" 2>/dev/null
    done
    for group in "${groups[@]}"; do
        for ((tries = 0; tries < 50; tries++)); do
            kill -0 -- "-$group" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL -- "-$group" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
skip() {
    echo "SKIP: $*"
    exit 77
}
fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log "$work"/*.out "$work"/*.err; do
        [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 40 "$log"; }
    done
    exit 1
}
pass() { echo "ok: $*"; }

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.1
    done
}
