#!/usr/bin/env bash
# Makes the README's picture of the window: starts the program on the simulated card in a private
# Xvfb, fills in the panels as an operator would, presses their buttons, waits for the inputs to
# show the outputs and captures the window alone.
#
# Usage: scripts/screenshot.sh PATH/TO/qm5083-bench OUTPUT.png
#   e.g. scripts/screenshot.sh build/qm5083-bench docs/window.png
# Builds nothing. Installs what it needs when missing: Xvfb, xauth, xdotool, xclip, ImageMagick.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/deps.sh"
ensure_packages xvfb xauth xdotool xclip imagemagick

program=${1:?usage: screenshot.sh PATH/TO/qm5083-bench OUTPUT.png}
output=${2:?usage: screenshot.sh PATH/TO/qm5083-bench OUTPUT.png}
[ -x "$program" ] || { echo "screenshot: $program is not an executable program" >&2; exit 1; }
for tool in Xvfb xauth xdotool xclip mcookie import; do
    command -v "$tool" >/dev/null || { echo "screenshot: $tool is not installed" >&2; exit 1; }
done

# shellcheck source-path=SCRIPTDIR source=../tests/e2e/xdo_helpers.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/xdo_helpers.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/qm5083-screenshot.XXXXXX")
pid=""
cleanup() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    xdo_stop_x
    rm -rf "$work"
}
trap cleanup EXIT

die() {
    echo "screenshot: $*" >&2
    exit 1
}

xdo_start_x "$work" || die "could not start Xvfb"
xdo_load_layout "$program" "$work" || die "could not read the program's layout"
# The trace tells when a tick has read the inputs.
"$program" --simulate --trace </dev/null >"$work/stdout" 2>"$work/trace" &
pid=$!
xdo_find_window 15 "$pid" || die "the window did not appear"

outputs=(12 A5 3C FF)
for g in 0 1 2 3; do
    xdo_type_into "txtOutput$g" "${outputs[g]}" || die "could not type into txtOutput$g"
done
xdo_click cmdOutput || die "could not click 输出"

# The clock keeps its starting dividers, k = 1000 and n = 10.
xdo_click cmdClk || die "could not click 时钟输出"

da_codes=(0 400 800 FFF)
for c in 0 1 2 3; do
    xdo_type_into "txtda($c)" "${da_codes[c]}" || die "could not type into txtda($c)"
done
xdo_click cmdDA || die "could not click DA 输出"

# A tick after the last click (the last input group is read last), then a moment for the boxes to
# be repainted.
ticks() { grep -c ' in E003 ' "$work/trace" || true; }
ticks_before=$(ticks)
tick_came() { [ "$(ticks)" -gt "$ticks_before" ]; }
xdo_wait_for 3 tick_came || die "no tick read the inputs within 3 s"
# The pointer leaves the window, so no tooltip or hover highlight is captured.
xdotool mousemove --sync 0 0
sleep 0.5

mkdir -p "$(dirname "$output")"
import -window "$XDO_WINDOW" -strip "png:$output" || die "could not capture the window"
echo "screenshot: wrote $output"
