#!/usr/bin/env bash
# Makes the README's pictures: starts the program on the simulated card in a private Xvfb and
# drives it from the keyboard and mouse as an operator would. The window: fills in the panels,
# presses their buttons, waits for the inputs to show the outputs. The self-test: Alt+T, S, a
# serial and Enter on a card with a stuck input bit. The DA check: Alt+T, D, a serial and Enter,
# read by the simulated meter. Each captures its window alone.
#
# Usage: scripts/screenshot.sh PATH/TO/qm5083-bench OUTPUT.png [window|self-test|da-check]
#   e.g. scripts/screenshot.sh build/qm5083-bench docs/window.png
#        scripts/screenshot.sh build/qm5083-bench docs/self-test.png self-test
# Builds nothing. Installs what it needs when missing: Xvfb, xauth, xdotool, xclip, ImageMagick.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/deps.sh"
ensure_packages xvfb xauth xdotool xclip imagemagick

program=${1:?usage: screenshot.sh PATH/TO/qm5083-bench OUTPUT.png}
output=${2:?usage: screenshot.sh PATH/TO/qm5083-bench OUTPUT.png}
picture=${3:-window}
case "$picture" in
window | self-test | da-check) ;;
*) echo "screenshot: no picture $picture; window, self-test or da-check" >&2; exit 1 ;;
esac
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

# A dialog from the menu, in a home of its own: the results go there, and the DA check reads the
# simulated meter the settings name.
if [ "$picture" != window ]; then
    home="$work/home"
    mkdir -p "$home/.config/qm5083-bench"
    printf '[daCheck]\nmeter=sim\nchannel=1\n' >"$home/.config/qm5083-bench/qm5083-bench.conf"
    HOME="$home" XDG_CONFIG_HOME="$home/.config" "$program" --simulate --sim-fault stuck:2.3=1 \
        </dev/null >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    xdo_find_window 15 "$pid" || die "the window did not appear"
    main_window=$XDO_WINDOW
    xdo_click "Label3(0)" || die "could not click into the window"
    xdotool key --clearmodifiers alt+t
    sleep 0.3
    if [ "$picture" = self-test ]; then xdotool key --clearmodifiers s; else xdotool key --clearmodifiers d; fi
    find_dialog() { dialog=$(xdo_program_windows | grep -vx "$main_window" | head -n 1) && [ -n "$dialog" ]; }
    dialog=""
    xdo_wait_for 5 find_dialog || die "Alt+T opened no $picture dialog"
    xdotool type --delay 20 "QM-2026-0042"
    xdotool key --clearmodifiers Return
    filed() { compgen -G "$home/Documents/qm5083-bench/QM-2026-0042_*.json" >/dev/null; }
    xdo_wait_for 15 filed || die "the $picture filed no report"
    xdotool mousemove --sync 0 0
    sleep 0.5
    mkdir -p "$(dirname "$output")"
    import -window "$dialog" -strip "png:$output" || die "could not capture the dialog"
    echo "screenshot: wrote $output"
    exit 0
fi
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
