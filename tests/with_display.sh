#!/bin/sh
# Runs a command on the current X display with a window manager, so that
# windows can be maximised and minimised as on a desktop. Used inside
# xvfb-run by the test command.
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
# Give the window manager a moment to take over the screen.
i=0
while [ $i -lt 50 ] && ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window; do
    sleep 0.1
    i=$((i + 1))
done
"$@"
status=$?
kill $wm 2>/dev/null
exit $status
