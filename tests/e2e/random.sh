#!/usr/bin/env bash
# Random input on a real desktop: the program on a private X server with a
# real window manager (as in run.sh), under about a minute of seeded random
# user input: clicks (left, middle, right, double), moves, keys (Tab, Escape,
# Return, Space, letters, Ctrl+V, Shift+Insert, ...), typing, clipboard and
# primary selection set, emptied and let go, Alt+F4 and the window manager's
# close on any of its windows, activations and waits. It fails on any crash
# (an end by a signal or with a status other than 0) and on any sanitizer
# report. The program ends with status 0 whenever the user closes its last
# visible window (Alt+F4 on the splash, say); then it is started again. At the
# end its windows are closed one by one until it ends by itself.
#
# Usage: random.sh PROGRAM [OUTDIR]
#   E2E_SEED=N              replays the choices of an earlier run (the seed is
#                           printed first); the program's own timing can still
#                           make a replay take another path
#   E2E_RANDOM_SECONDS=N    how long the input goes on (default 60)
#   E2E_WM, E2E_TIME_LIMIT  as for run.sh (see lib.sh)
#
# OUTDIR gets actions.log (every action with its time), program.log and the
# window manager's logs. The last line is "e2e: N passed, N failed".
set -Eeuo pipefail
{

PROGRAM=${1:?usage: random.sh PROGRAM [OUTDIR]}
OUTDIR=${2:-}
E2E_TIME_LIMIT=${E2E_TIME_LIMIT:-240}
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_init e2e_random
session_start

SEED=${E2E_SEED:-$(((${EPOCHREALTIME/./} / 1000) % 1000000007))}
DURATION=${E2E_RANDOM_SECONDS:-60}
say "# seed $SEED (replay: E2E_SEED=$SEED), $DURATION s of random input"
# RANDOM is only ever read in this shell, never in a $(...) subshell (which
# would draw from a sequence of its own), so the seed fixes every choice.
RANDOM=$SEED
R=0
rnd() { R=$((RANDOM % $1)); }

ACTIONS=0
RECENT=()
act() { # TEXT: one action, into actions.log and the list shown on a failure
    ACTIONS=$((ACTIONS + 1))
    local line
    line="#$ACTIONS $(clock) $*"
    printf '%s\n' "$line" >>"$OUTDIR/actions.log"
    RECENT+=("$line")
    [ "${#RECENT[@]}" -le 15 ] || RECENT=("${RECENT[@]:1}")
}
show_recent() {
    say "     the last actions (all of them in $OUTDIR/actions.log):"
    printf '     | %s\n' "${RECENT[@]}"
}

# ------------------------------------------------------------------ the program's lives

LIVES=0
NORMAL_ENDS=0
start_life() {
    LIVES=$((LIVES + 1))
    act "start the program (life $LIVES)"
    program_start
    local i
    for i in $(seq 100); do
        [ -n "$(visible_windows)" ] && return 0
        prog_alive || return 0
        sleep 0.1
    done
    fail "no window within 10 s of start $LIVES"
    return 0
}
# After the program has ended: a normal end is noted and the program started
# again; anything else fails the run.
ended() {
    program_reap
    STEP="life $LIVES"
    if [ "$EXIT_STATUS" = 0 ]; then
        NORMAL_ENDS=$((NORMAL_ENDS + 1))
        act "the program ended with status 0 (its last visible window was closed)"
        pass "the program ended with status 0 when its last visible window was closed"
        check "no sanitizer report" sanitizer_reports
        return 0
    fi
    fail "the program crashed ($(describe_status "$EXIT_STATUS")); replay with E2E_SEED=$SEED"
    show_recent
    program_log_tail
    sanitizer_reports >/dev/null || true
    return 1
}

# ------------------------------------------------------------------ actions

KEYS=(Tab shift+Tab Escape Return KP_Enter space BackSpace Delete Up Down Left Right Home End Page_Up Page_Down
    ctrl+v shift+Insert ctrl+c ctrl+x ctrl+a ctrl+z ctrl+shift+z ctrl+Insert shift+Delete
    a b c d e f g h i j k l m n o p q r s t u v w x y z A N Y 0 1 5 9 F1 F4 alt+a alt+n)
WORDS=("Ano" "ne" "C:\\Windows" "plim plim" "žluťoučký kůň" "12345" "" "a b c")
TEXTS=("" "Vložený text" "řádek 1
řádek 2" "$(printf 'tab\there')" "C:\\Program Files\\Plim" "$(printf '%0300d' 7)")

WINDOWS=()
pick_window() { # sets WIN to one visible window of the program (empty: none)
    WIN=""
    read -r -a WINDOWS <<<"$(visible_windows | tr '\n' ' ')"
    [ "${#WINDOWS[@]}" -gt 0 ] || return 1
    rnd "${#WINDOWS[@]}"
    WIN=${WINDOWS[$R]}
}
point_in() { # ID: sets PX PY to a random point of its client area
    geom "$1" || return 1
    rnd "$W"; PX=$((X + R))
    rnd "$H"; PY=$((Y + R))
}
x() { timeout 10 xdotool "$@" >/dev/null 2>&1 || true; }

# The weights keep closing rare (each close of the last window starts the
# program again from its splash) and Return and Space common, so that the
# input gets past the prompt into the wizard and the installation.
one_action() {
    local kind
    rnd 100
    kind=$R
    if [ "$kind" -lt 27 ]; then
        pick_window && point_in "$WIN" || { act "left click: no window"; return 0; }
        act "left click in $WIN at $PX,$PY"
        x mousemove "$PX" "$PY" click 1
    elif [ "$kind" -lt 30 ]; then
        pick_window && point_in "$WIN" || return 0
        act "double click in $WIN at $PX,$PY"
        x mousemove "$PX" "$PY" click --repeat 2 --delay 80 1
    elif [ "$kind" -lt 33 ]; then
        pick_window && point_in "$WIN" || return 0
        act "right click in $WIN at $PX,$PY"
        x mousemove "$PX" "$PY" click 3
    elif [ "$kind" -lt 39 ]; then
        pick_window && point_in "$WIN" || return 0
        act "middle click (paste the primary selection) in $WIN at $PX,$PY"
        x mousemove "$PX" "$PY" click 2
    elif [ "$kind" -lt 47 ]; then
        pick_window && point_in "$WIN" || return 0
        act "move to $PX,$PY in $WIN"
        x mousemove "$PX" "$PY"
    elif [ "$kind" -lt 67 ]; then
        rnd "${#KEYS[@]}"
        act "key ${KEYS[$R]}"
        x key --clearmodifiers "${KEYS[$R]}"
    elif [ "$kind" -lt 75 ]; then
        rnd 3
        [ "$R" = 2 ] && { act "key space"; x key --clearmodifiers space; return 0; }
        act "key Return"
        x key --clearmodifiers Return
    elif [ "$kind" -lt 78 ]; then
        rnd "${#WORDS[@]}"
        act "type \"${WORDS[$R]}\""
        x type --delay 20 -- "${WORDS[$R]}"
    elif [ "$kind" -lt 83 ]; then
        rnd 2
        if [ "$R" = 0 ]; then act "key ctrl+v (paste)"; x key --clearmodifiers ctrl+v; else act "key shift+Insert (paste)"; x key --clearmodifiers shift+Insert; fi
    elif [ "$kind" -lt 88 ]; then
        local sel=clipboard
        rnd 2; [ "$R" = 1 ] && sel=primary
        rnd 3
        case $R in
        0) act "$sel: no owner"; selection_none "$sel" || true ;;
        1) act "$sel: empty"; selection_set "$sel" "" || true ;;
        2) rnd "${#TEXTS[@]}"; act "$sel: text ${#TEXTS[$R]} characters long"; selection_set "$sel" "${TEXTS[$R]}" || true ;;
        esac
    elif [ "$kind" -lt 90 ]; then
        act "alt+F4 on the active window"
        x key --clearmodifiers alt+F4
    elif [ "$kind" -lt 92 ]; then
        pick_window || return 0
        act "close $WIN \"$(title_of "$WIN")\" (activate, alt+F4)"
        x windowactivate --sync "$WIN"
        x key --clearmodifiers alt+F4
    elif [ "$kind" -lt 95 ]; then
        pick_window || return 0
        act "activate $WIN \"$(title_of "$WIN")\""
        x windowactivate --sync "$WIN"
    elif [ "$kind" -lt 98 ]; then
        rnd "$SCREEN_W"; PX=$R
        rnd "$SCREEN_H"; PY=$R
        act "left click on the screen at $PX,$PY"
        x mousemove "$PX" "$PY" click 1
    else
        rnd 30
        act "wait $((R / 10)).$((R % 10)) s"
        sleep "$((R / 10)).$((R % 10))"
    fi
}

# ------------------------------------------------------------------ the run

STEP="random input"
start_life
T_END=$(($(now_ms) + DURATION * 1000))
CRASHED=0
while [ "$(now_ms)" -lt "$T_END" ]; do
    if ! prog_alive; then
        ended || { CRASHED=1; break; }
        STEP="random input"
        start_life
        continue
    fi
    one_action
    rnd 4
    sleep "0.$((R * 8))"
done

if [ "$CRASHED" = 0 ]; then
    STEP="random input"
    check "the program survives $ACTIONS random actions ($LIVES starts, $NORMAL_ENDS normal ends)" prog_alive
fi

# ------------------------------------------------------------------ leaving

# Its windows closed one by one, the program ends by itself: a message box
# first (a box has a transient-for parent), else the topmost window. A box
# that will not close is answered with Escape, then Return.
if [ "$CRASHED" = 0 ] && prog_alive; then
    STEP="leaving"
    selection_release clipboard
    selection_release primary
    deadline=$(($(now_ms) + 40000))
    while prog_alive && [ "$(now_ms)" -lt "$deadline" ]; do
        read -r -a WINDOWS <<<"$(visible_windows | tr '\n' ' ')"
        if [ "${#WINDOWS[@]}" = 0 ]; then
            sleep 0.2
            continue
        fi
        target=""
        for w in "${WINDOWS[@]}"; do
            xpr -id "$w" WM_TRANSIENT_FOR 2>/dev/null | grep -q 'window id' && target=$w
        done
        if [ -z "$target" ]; then
            for w in $(stacking | tac); do
                case " ${WINDOWS[*]} " in *" $((w)) "*) target=$((w)); break ;; esac
            done
        fi
        [ -n "$target" ] || target=${WINDOWS[0]}
        act "leaving: close $target \"$(title_of "$target")\""
        x windowactivate --sync "$target"
        x key --clearmodifiers alt+F4
        sleep 0.4
        if prog_alive && is_visible "$target"; then
            act "leaving: Escape, then Return on $target"
            x key --clearmodifiers Escape
            sleep 0.3
            is_visible "$target" && x key --clearmodifiers Return
            sleep 0.3
        fi
    done
    if prog_alive; then
        fail "closing its windows one by one for 40 s did not end the program (visible: $(describe_visible))"
        show_recent
    else
        program_reap
        check "closing its windows ends the program with status 0" status_ok
        check "no sanitizer report" sanitizer_reports
        [ "$EXIT_STATUS" = 0 ] || { show_recent; program_log_tail; }
    fi
fi
# How far the input got: how often each screen was shown, from the program's trace.
say "# screens shown: $(grep -o 'runtime: show "[A-Za-z0-9]*"' "$OUTDIR/program.log" | sed 's/.*show //; s/"//g' | sort | uniq -c | awk '{printf "%s%s %s", (NR > 1 ? ", " : ""), $2, $1}')"
say "# seed $SEED (replay: E2E_SEED=$SEED)"
exit 0
}
