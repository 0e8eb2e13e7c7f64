#!/usr/bin/env bash
# Runs one fault-matrix test program (the arguments) under an Xvfb and openbox of its own.
# Listing the tests needs no X server. Exit 77 (skipped) when none can be started here.
case " $* " in *" --gtest_list_tests "*) exec "$@" ;; esac
source "$(dirname "$0")/../support/x11-session.sh"
start_x_server
openbox >"$work/openbox.log" 2>&1 &
pids+=("$!")
wait_for 15 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window' ||
    fail "openbox did not start"
"$@"
exit $?
