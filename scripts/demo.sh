#!/usr/bin/env bash
# A private demonstration desktop: starts Xvfb, openbox and a few sample applications,
# starts Tervane Now on it with throwaway settings, runs one stage through the control
# socket and writes screenshots of before, the card, the shield and after.
#
#   scripts/demo.sh [BUILD_DIR] [OUT_DIR]     (defaults: build/release, ./demo-screens)
#
# Nothing here touches your own settings or desktop.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
out=$(realpath -m "${2:-demo-screens}")
now="$build/src/cli/tervane-now"
grab="$build/src/app/tools/grab/tervane-grab"
for tool in "$now" "$grab"; do
  [[ -x $tool ]] || { echo "demo: $tool is not built" >&2; exit 1; }
done
mkdir -p "$out"

work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_STATE_HOME="$work/home/.local/state"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/tervane-now" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The walk-through has been seen and the word on this tray-less desktop said, so the
# screenshots show the stage.
echo '{"has_seen_mac_first_run": true, "told_how_to_reach_card_without_tray": true}' \
  > "$XDG_CONFIG_HOME/tervane-now/shared.json"

# Xvfb writes its display number to the pipe once it accepts clients; openbox runs its
# start-up command once it manages windows.
mkfifo "$work/display" "$work/wm"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
read -r -t 30 number <"$work/display" || { echo "demo: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number"
openbox --startup "sh -c 'echo ready > $work/wm'" >/dev/null 2>&1 &
pids+=($!)
read -r -t 30 _ <"$work/wm" || { echo "demo: openbox did not start" >&2; exit 1; }

start_app() { # class, then the command
  local class=$1
  shift
  "$@" >/dev/null 2>&1 &
  pids+=($!)
  xdotool search --sync --limit 1 --class "$class" >/dev/null
}
# Each sample has a class and an instance name of its own, so the card names each by itself
# (an xterm's instance name "xterm" would name every one of them after XTerm).
start_app Notes xterm -name notes -class Notes -T "Release notes" -geometry 90x30+40+40 -e cat
start_app XCalc xcalc -geometry 240x320+760+60
start_app XClock xclock -geometry 200x200+1000+420
start_app XLogo xlogo -geometry 200x200+700+480
start_app Mail xterm -name mail -class Mail -T "Inbox (12)" -geometry 70x20+300+420 -e cat
xdotool search --limit 1 --class Notes windowactivate --sync

"$now" >"$work/tervane-now.log" 2>&1 &
pids+=($!)
"$now" status --wait 30 >/dev/null

"$grab" "$out/before.png"
"$now" capture "Write the release notes"
"$now" start
"$now" open
# Panels arrive with a short motion; a picture is taken once it has come to rest.
sleep 1
"$grab" "$out/card.png"
# The person reaches for the calculator that was put away: the shield asks.
"$now" status --until settled >/dev/null
xdotool search --limit 1 --class XCalc windowactivate
"$now" status --until shield >/dev/null
sleep 1
"$grab" "$out/shield.png"
"$now" answer no
"$now" status
"$now" done
# The "after" picture waits until the stage has ended, the shield has gone and the
# application has stopped moving windows, and then every sample window must be back.
"$now" status --until closed >/dev/null
"$now" status --until settled >/dev/null
for class in Notes XCalc XClock XLogo Mail; do
  window=$(xdotool search --limit 1 --class "$class")
  if ! xprop -id "$window" WM_STATE | grep -q "window state: Normal"; then
    echo "demo: $class is not back on the screen" >&2
    exit 1
  fi
done
sleep 1
"$grab" "$out/after.png"
kill -TERM "${pids[-1]}"
wait "${pids[-1]}" || true
unset 'pids[-1]'
echo "Screenshots of before, the card, the shield and after are in $out"
