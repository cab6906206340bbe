#!/usr/bin/env bash
# End-to-end run of valdrynix-plim: a private X server (Xvfb, 1024x768), a real
# window manager (openbox or metacity), and the program driven like a user with
# xdotool through one whole pass, in real time (about four minutes; the
# installation alone is some 196 ticks of 0.8 s). On the way it pastes into
# the wizard's text boxes from empty and from filled selections, and at the end
# it leaves the program the way a user can: by closing its last window.
#
# Usage: run.sh PROGRAM [OUTDIR]
#   PROGRAM  the valdrynix-plim executable
#   OUTDIR   where the screenshots and logs go (default: a new folder in /tmp)
#
# E2E_WM=openbox|metacity picks the window manager (default openbox);
# E2E_PASTE=0 leaves out the pasting (to chase other faults while a paste
# fault is open);
# E2E_STRACE=1 runs the program under strace and fails on anything it writes,
# starts or connects to besides the X server (and the session bus where
# E2E_DBUS=session gives it one). See lib.sh for the other settings.
#
# OUTDIR gets the screenshots, program.log (the program's output with its
# trace of window requests and X events), wm-active.log and wm-events.log
# (what the window manager did), steps.log (every check with its time), and
# strace.log.* under E2E_STRACE.
#
# Every check prints "ok" or "FAIL" with the step it belongs to; the last line
# is the summary "e2e: N passed, N failed". The exit status is 0 only when
# nothing failed. The run stops by itself after E2E_TIME_LIMIT seconds (480).
set -Eeuo pipefail
# The whole script is one block, read before anything runs, so that editing
# the file cannot upset a run in progress.
{

PROGRAM=${1:?usage: run.sh PROGRAM [OUTDIR]}
OUTDIR=${2:-}
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_init e2e
session_start

# ------------------------------------------------------------------ this pass

# The welcome prompt: its two answer buttons (left x 64..145, right 152..233,
# y 88..113 in the client area); only their inside is compared, so that the
# focus frame of the left button does not count.
prompt_regions() { # ID: into $WORK/left.png and $WORK/right.png
    geom "$1" || return 1
    grab
    crop "$WORK/screen.png" 71 15 $((X + 64 + 5)) $((Y + 88 + 5)) "$WORK/left.png"
    crop "$WORK/screen.png" 71 15 $((X + 152 + 5)) $((Y + 88 + 5)) "$WORK/right.png"
}
answers_read() { # ID left|swapped: left "Ano" as at first, or the two exchanged
    prompt_regions "$1" || { WHY="prompt gone"; return 1; }
    if [ "$2" = left ]; then
        same "$WORK/left.png" "$WORK/ano.png" && same "$WORK/right.png" "$WORK/ne.png"
    else
        same "$WORK/right.png" "$WORK/ano.png" && same "$WORK/left.png" "$WORK/ne.png"
    fi || { WHY="left differs from the first left by $(ae "$WORK/left.png" "$WORK/ano.png") pixels and from the first right by $(ae "$WORK/left.png" "$WORK/ne.png") pixels"; return 1; }
}

# The wizard's pages: the frame area at client 200,8 (249x169).
page_region() { # ID DST
    geom "$1" || return 1
    grab
    crop "$WORK/screen.png" 249 169 $((X + 200)) $((Y + 8)) "$2"
}
page_is() { # ID REF
    page_region "$1" "$WORK/page-now.png" || { WHY="wizard gone"; return 1; }
    same "$WORK/page-now.png" "$2" || { WHY="the page differs by $(ae "$WORK/page-now.png" "$2") pixels"; return 1; }
}
page_changed_from() { # ID REF
    page_region "$1" "$WORK/page-now.png" || return 1
    differ "$WORK/page-now.png" "$2"
}
# The wizard's buttons along the bottom (client coordinates of their middle).
ZPET_X=252
DALSI_X=332
KONEC_X=412
BUTTONS_Y=220

# The installation's progress bar: the track at client 32,144, 289 pixels
# long; one row near its top edge, above the percentage figure, is counted.
BAR_LEN=289
FILL=-1
bar_fill() { # ID: sets FILL to the filled pixels, -1 when the bar cannot be seen
    FILL=-1
    geom "$1" || return 1
    im_import -window root -crop "${BAR_LEN}x1+$((X + 32))+$((Y + 146))" +repage "$WORK/bar.png" 2>/dev/null || return 1
    local txt fill track
    txt=$(im_convert "$WORK/bar.png" -depth 8 txt:-)
    fill=$(grep -c '#000080' <<<"$txt" || true)
    track=$(grep -c '#FFFFFF' <<<"$txt" || true)
    [ $((fill + track)) -eq "$BAR_LEN" ] || return 1
    FILL=$fill
}
pct() { echo $(((($1 * 100) + BAR_LEN / 2) / BAR_LEN)); }
fill_at_least() { bar_fill "$1" && [ "$FILL" -ge "$2" ]; }

# ---- ghosts: a window of the program that nothing in the pass shows

GHOST=""
GHOST_TITLES=() # titles that may come and go besides the expected windows
ghost_watch() { # ID...: any other visible window of the program (or of another process) is recorded once
    local w t ok extra=""
    for w in $(visible_windows); do
        case " $* " in *" $w "*) continue ;; esac
        t=$(title_of "$w")
        ok=0
        for a in "${GHOST_TITLES[@]}"; do
            [ "$t" = "$a" ] || [ "$t" = "$a$APP_SUFFIX" ] && ok=1
        done
        [ "$ok" = 1 ] || extra+="$w "
    done
    local foreign
    foreign=$(foreign_windows)
    [ -z "$extra" ] && [ -z "$foreign" ] && return 0
    if [ -z "$GHOST" ]; then
        [ -n "$foreign" ] && say "     windows of another process on this display: $foreign"
        GHOST="at $(clock) in step \"$STEP\": visible $(describe_visible)${foreign:+; of another process: $foreign}"
        say "     an unexpected window is visible $GHOST"
        im_import -window root "$OUTDIR/ghost.png" 2>/dev/null && say "     screenshot: $OUTDIR/ghost.png"
        xpr -root _NET_ACTIVE_WINDOW >>"$OUTDIR/ghost.txt" 2>&1 || true
        for w in $extra; do xpr -id "$w" WM_NAME WM_STATE _NET_WM_STATE >>"$OUTDIR/ghost.txt" 2>&1 || true; done
    fi
    return 0
}
no_ghost() { [ -z "$GHOST" ] || { WHY="$GHOST; see ghost.png, program.log and wm-active.log"; return 1; }; }

# ---- pasting

# The text boxes of the wizard, as client rectangles (x y w h): the folder on
# page 2, the licence on page 3, the configuration on page 4.
BOX_FOLDER="216 104 217 19"
BOX_LICENCE="216 24 225 105"
BOX_CONFIG="216 112 225 57"
box_region() { # RECT DST: the box as it is on the screen now
    local bx by bw bh
    read -r bx by bw bh <<<"$1"
    geom "$WIZ" || return 1
    grab
    crop "$WORK/screen.png" "$bw" "$bh" $((X + bx)) $((Y + by)) "$2"
}
# The blinking text cursor may come or go between two pictures: a box counts
# as unchanged up to CARET_PIXELS differing pixels, and as changed by a paste
# from more than PASTED_PIXELS.
CARET_PIXELS=40
PASTED_PIXELS=100
box_unchanged() { # RECT REF
    local d
    box_region "$1" "$WORK/box-now.png" || { WHY="wizard gone"; return 1; }
    d=$(ae "$WORK/box-now.png" "$2")
    [ "$d" != error ] && [ "$d" -le "$CARET_PIXELS" ] || { WHY="the box differs by $d pixels"; return 1; }
}
box_changed() { # RECT REF
    local d
    box_region "$1" "$WORK/box-now.png" || { WHY="wizard gone"; return 1; }
    d=$(ae "$WORK/box-now.png" "$2")
    [ "$d" != error ] && [ "$d" -gt "$PASTED_PIXELS" ] || { WHY="the box differs by $d pixels only"; return 1; }
}
survived() { # DESCRIPTION: stops the run when the program has died
    if prog_alive; then
        pass "the program survives $1"
        return 0
    fi
    program_reap
    program_log_tail
    sanitizer_reports >/dev/null || true
    abort "the program died on $1 ($(describe_status "$EXIT_STATUS"))"
}
paste_keys() { # RECT: Ctrl+V and Shift+Insert in the box, then a middle click on it
    local bx by bw bh
    read -r bx by bw bh <<<"$1"
    press_key "$WIZ" ctrl+v
    sleep 0.3
    press_key "$WIZ" shift+Insert
    sleep 0.3
    click_in "$WIZ" $((bx + bw / 2)) $((by + bh / 2)) 2
    sleep 0.5
}
# paste_into NAME RECT: clicks into the box and pastes with nothing to paste,
# with empty selections, and with text on both.
paste_into() {
    [ "${E2E_PASTE:-1}" = 1 ] || return 0
    local name=$1 rect=$2 bx by bw bh
    read -r bx by bw bh <<<"$rect"
    STEP="pasting into the $name"
    selection_none clipboard || fail "could not clear the clipboard"
    selection_none primary || fail "could not clear the primary selection"
    click_in "$WIZ" $((bx + bw / 2)) $((by + bh / 2))
    sleep 0.3
    box_region "$rect" "$WORK/box-before.png" || abort "the wizard vanished"
    paste_keys "$rect"
    survived "Ctrl+V, Shift+Insert and a middle click with no owner of the clipboard or the primary selection"
    check "nothing is inserted" box_unchanged "$rect" "$WORK/box-before.png"

    selection_set clipboard "" || fail "could not put an empty text on the clipboard"
    selection_set primary "" || fail "could not put an empty text in the primary selection"
    paste_keys "$rect"
    survived "Ctrl+V, Shift+Insert and a middle click with an empty clipboard and primary selection"
    check "nothing is inserted" box_unchanged "$rect" "$WORK/box-before.png"
    shot "paste-${name// /-}-empty"

    selection_set clipboard "Vložený text ze schránky " || fail "could not put text on the clipboard"
    selection_set primary "Vybraný text " || fail "could not put text in the primary selection"
    press_key "$WIZ" ctrl+v
    sleep 0.4
    survived "Ctrl+V with text on the clipboard"
    check "Ctrl+V pastes the clipboard's text" box_changed "$rect" "$WORK/box-before.png"
    box_region "$rect" "$WORK/box-before.png"
    press_key "$WIZ" shift+Insert
    sleep 0.4
    survived "Shift+Insert with text on the clipboard"
    check "Shift+Insert pastes it again" box_changed "$rect" "$WORK/box-before.png"
    box_region "$rect" "$WORK/box-before.png"
    click_in "$WIZ" $((bx + bw / 2)) $((by + bh / 2)) 2
    sleep 0.4
    survived "a middle click with text in the primary selection"
    check "a middle click pastes the primary selection" box_changed "$rect" "$WORK/box-before.png"
    shot "paste-${name// /-}-text"
    selection_release clipboard
    selection_release primary
}

# ---- leaving

# The last visible window closed by the user ends the program with status 0;
# in a sanitizer build its log must be empty.
clean_exit_checks() {
    check "the program ends with status 0" status_ok
    check "no sanitizer report" sanitizer_reports
}

# ---- harmlessness

harmless_checks() {
    [ "${E2E_STRACE:-0}" = 1 ] || return 0
    STEP="harmlessness"
    local verdict
    if verdict=$(bash "$E2E_DIR/harmless.sh" "$OUTDIR/strace.log" "$STRACE_ROOT" "${DISPLAY#:}" "$XDG_RUNTIME_DIR" "${DBUS_SESSION_BUS_ADDRESS:-}" 2>&1); then
        pass "under strace the program wrote, created, removed and started nothing and connected only to the X server${DBUS_SESSION_BUS_ADDRESS:+ and the session bus}"
    else
        fail "under strace the program did what it must not (all of it in $OUTDIR/harmless.txt): $(grep -v '^ ' <<<"$verdict" | sed 's/^[0-9]*: //' | sort | uniq -c | awk '{n = $1; $1 = ""; printf "%s%s%s times", (NR > 1 ? ";" : ""), $0, " " n}')"
        printf '%s\n' "$verdict" | head -n 12 | sed 's/^/     | /'
    fi
    printf '%s\n' "$verdict" >"$OUTDIR/harmless.txt"
}

# ------------------------------------------------------------------ the run

STEP="splash"
T_LAUNCH=$(now_ms)
program_start

any_visible() { [ -n "$(visible_windows)" ]; }
poll 10000 any_visible || abort "no window within 10 s of the start"
T_SPLASH=$(now_ms)
SPLASH=$(visible_windows | head -n 1)
say "     first window after $(secs $((T_SPLASH - T_LAUNCH))) s"
check "it is the only window at the start" only_visible "$SPLASH"
check "borderless, no title bar" borderless "$SPLASH"
check "323x241 pixels" has_size "$SPLASH" 323 241
check "centred on the screen" centred "$SPLASH"
shot 01-splash

STEP="splash hands over"
PROMPT_TITLE="Vítá vás aplikace Valdrynix Plim"
wait_titled PROMPT "$PROMPT_TITLE" 5000 || abort "no window \"$PROMPT_TITLE\" within 5 s of the splash"
T_PROMPT=$(now_ms)
DT=$((T_PROMPT - T_SPLASH))
handover_in_time() { [ "$DT" -ge 1500 ] && [ "$DT" -le 2800 ] || { WHY="after $(secs $DT) s"; return 1; }; }
check "the prompt comes about 2 s after the splash" handover_in_time
check "the splash is gone" not_visible "$SPLASH"
check "nothing else is visible" only_visible "$PROMPT"

STEP="welcome prompt"
check "title bar reads \"$PROMPT_TITLE\"" title_is "$PROMPT" "$PROMPT_TITLE"
check "client area 294x122" has_size "$PROMPT" 294 122
check "it has a title bar" framed "$PROMPT"
check "centred on the screen" centred "$PROMPT"
check "it is the active window" poll 1000 active_is "$PROMPT"
shot 02-prompt
prompt_regions "$PROMPT" || abort "the prompt vanished"
cp "$WORK/left.png" "$WORK/ano.png"
cp "$WORK/right.png" "$WORK/ne.png"
cp "$WORK/left.png" "$OUTDIR/button-left-first.png"
cp "$WORK/right.png" "$OUTDIR/button-right-first.png"
answers_differ() { differ "$WORK/ano.png" "$WORK/ne.png" || { WHY="the two button captions look the same"; return 1; }; }
check "the two answers read differently" answers_differ

STEP="hovering the answers"
geom "$PROMPT" || abort "the prompt vanished"
move_to $((X + 192)) $((Y + 100))
check "over the right button the captions swap (right reads \"Ano\", left \"Ne\")" poll 2000 answers_read "$PROMPT" swapped
shot 03-prompt-hover
geom "$PROMPT" || abort "the prompt vanished"
move_to $((X + 104)) $((Y + 100))
check "back over the left button: left reads \"Ano\" again, right \"Ne\"" poll 2000 answers_read "$PROMPT" left
geom "$PROMPT" || abort "the prompt vanished"
move_to $((X + 192)) $((Y + 100))
check "over the right button again: swapped again" poll 2000 answers_read "$PROMPT" swapped

STEP="closing the prompt"
# The pointer leaves the prompt, so that the next prompt starts unhovered.
move_to 5 5
sleep 0.2
close_box "$PROMPT"
T_CLOSE=$(now_ms)
splash_back() {
    local w
    gone "$PROMPT_TITLE" || return 1
    for w in $(visible_windows); do
        has_size "$w" 323 241 && borderless "$w" && { SPLASH=$w; return 0; }
    done
    return 1
}
check "the prompt goes and the splash is back at once" poll 1000 splash_back
check "the splash is centred again" centred "$SPLASH"
shot 04-splash-again
wait_titled PROMPT "$PROMPT_TITLE" 5000 || abort "no new prompt within 5 s of the splash coming back"
DT=$(($(now_ms) - T_CLOSE))
check "a new prompt comes about 2 s later" handover_in_time
check "the splash is gone again" not_visible "$SPLASH"
check "nothing else is visible" only_visible "$PROMPT"
check "the new prompt is centred" centred "$PROMPT"
check "the new prompt reads \"Ano\" on the left and \"Ne\" on the right" answers_read "$PROMPT" left

STEP="answering Ano"
click_in "$PROMPT" 104 100
WIZ_TITLE="Instalace"
wait_titled WIZ "$WIZ_TITLE" 5000 || abort "no window \"$WIZ_TITLE\" within 5 s of the answer"
sleep 0.3
check "the prompt is gone" gone "$PROMPT_TITLE"
BACKDROP=$(fullscreen_windows | head -n 1)
[ -n "$BACKDROP" ] || abort "no full-screen backdrop behind the wizard (visible: $(describe_visible))"
check "a backdrop covers the whole screen" covers_screen "$BACKDROP"
check "the backdrop is borderless" borderless "$BACKDROP"
grab
backdrop_picture() {
    local top bottom
    top=$(pixel "$WORK/screen.png" 5 5)
    bottom=$(pixel "$WORK/screen.png" 5 $((SCREEN_H - 5)))
    # The gradient starts bright blue at the top; below its 600 rows the plain blue shows.
    [ "$bottom" = "#0000FF" ] && [ "${top:1:2}" != "00" ] && [ "$((16#${top:5:2}))" -ge 200 ] \
        || { WHY="pixel at the top left $top, near the bottom left $bottom"; return 1; }
}
check "the backdrop shows its gradient over blue" backdrop_picture
check "only the backdrop and the wizard are visible" only_visible "$BACKDROP" "$WIZ"

STEP="wizard"
check "title bar reads \"$WIZ_TITLE\"" title_is "$WIZ" "$WIZ_TITLE"
check "client area 459x244" has_size "$WIZ" 459 244
check "it has a title bar" framed "$WIZ"
check "centred on the screen" centred "$WIZ"
check "the wizard is in front and active" poll 2000 in_front "$WIZ"
shot 05-backdrop-wizard

STEP="clicking the backdrop (wizard)"
click_at 20 700
sleep 0.6
check "the focus comes back to the wizard" poll 2500 in_front "$WIZ"
check "only the backdrop and the wizard are visible" only_visible "$BACKDROP" "$WIZ"

STEP="wizard Konec"
page_region "$WIZ" "$WORK/page1.png" || abort "the wizard vanished"
click_in "$WIZ" $KONEC_X $BUTTONS_Y
REFUSAL_TITLE="Valdrynix Plim 1.0."
wait_titled BOX "$REFUSAL_TITLE" 5000 || abort "no box \"$REFUSAL_TITLE\" within 5 s of \"Konec\""
pass "a box titled \"$REFUSAL_TITLE\" comes"
shot 06-exit-refusal
press_key "$BOX" Return
check "Return closes the box" poll 3000 not_visible "$BOX"
check "the wizard is still there" is_visible "$WIZ"
check "and still on its first page" page_is "$WIZ" "$WORK/page1.png"

# next_page N: "Další" and a page that differs from the one before, kept as pageN.png.
next_page() {
    local n=$1 prev=$(($1 - 1))
    click_in "$WIZ" $DALSI_X $BUTTONS_Y
    if poll 2000 page_changed_from "$WIZ" "$WORK/page$prev.png"; then
        sleep 0.2
        page_region "$WIZ" "$WORK/page$n.png"
        pass "\"Další\" shows page $n"
    else
        fail "\"Další\" does not change the page (to page $n)"
        page_region "$WIZ" "$WORK/page$n.png"
    fi
}

STEP="wizard pages"
next_page 2
paste_into "folder box" "$BOX_FOLDER"
STEP="wizard pages"
next_page 3
cp "$WORK/page3.png" "$OUTDIR/wizard-page3.png"
paste_into "licence box" "$BOX_LICENCE"
STEP="wizard pages"
next_page 4
paste_into "configuration box" "$BOX_CONFIG"

STEP="the pages after pasting"
click_in "$WIZ" $ZPET_X $BUTTONS_Y
check "\"Zpět\" shows the licence again, rebuilt as it was first shown" poll 2000 page_is "$WIZ" "$WORK/page3.png"
click_in "$WIZ" $ZPET_X $BUTTONS_Y
check "\"Zpět\" shows the folder page" poll 2000 page_changed_from "$WIZ" "$WORK/page3.png"
click_in "$WIZ" $DALSI_X $BUTTONS_Y
check "\"Další\" shows the licence, still as it was first shown" poll 2000 page_is "$WIZ" "$WORK/page3.png"
click_in "$WIZ" $DALSI_X $BUTTONS_Y
if [ "${E2E_PASTE:-1}" = 1 ]; then
    check "\"Další\" shows the configuration page, the pasted text still in its box" poll 2000 page_changed_from "$WIZ" "$WORK/page4.png"
else
    check "\"Další\" shows the configuration page as it was" poll 2000 page_is "$WIZ" "$WORK/page4.png"
fi
sleep 0.2
page_region "$WIZ" "$WORK/page4.png"
cp "$WORK/page4.png" "$OUTDIR/wizard-page4-pasted.png"
next_page 5
cp "$WORK/page5.png" "$OUTDIR/wizard-page5.png"

STEP="installation starts"
INST_TITLE="Probíhá instalace. Nerušit."
click_in "$WIZ" $DALSI_X $BUTTONS_Y
wait_titled INST "$INST_TITLE" 5000 || abort "no window \"$INST_TITLE\" within 5 s of the fifth \"Další\""
check "the wizard is gone" poll 1000 not_visible "$WIZ"
check "title bar reads \"$INST_TITLE\"" title_is "$INST" "$INST_TITLE"
check "client area 363x223" has_size "$INST" 363 223
check "it has a title bar" framed "$INST"
check "centred on the screen" centred "$INST"
check "only the backdrop and the installation are visible" only_visible "$BACKDROP" "$INST"
check "the progress bar advances" poll 10000 fill_at_least "$INST" 5
FIRST_FILL=$FILL

STEP="closing the installation"
close_box "$INST"
check "the installation window goes" poll 2000 not_visible "$INST"
check "the wizard comes back" poll 2000 is_visible "$WIZ"
check "on its last page" poll 1000 page_is "$WIZ" "$WORK/page5.png"
check "centred on the screen, as it was" centred "$WIZ"
check "only the backdrop and the wizard are visible" only_visible "$BACKDROP" "$WIZ"

STEP="installation anew"
click_in "$WIZ" $DALSI_X $BUTTONS_Y
wait_titled INST "$INST_TITLE" 5000 || abort "no window \"$INST_TITLE\" within 5 s of \"Další\" on the last page"
T_INST=$(now_ms)
check "the wizard is gone" poll 1000 not_visible "$WIZ"
check "the installation window is centred" centred "$INST"
restarted() { bar_fill "$INST" && [ "$FILL" -le 3 ] && [ "$FILL" -lt "$FIRST_FILL" ] || { WHY="bar at $FILL of $BAR_LEN pixels, was $FIRST_FILL"; return 1; }; }
check "the bar starts again from empty" restarted

# From here to the completion dialog nothing but the backdrop, the
# installation, its two boxes and at the end the completion dialog may show up.
WARN_TITLE="Upozornění"
REFUSE_TITLE="Požadavek nelze splnit"
DONE_TITLE="Instalace Valdrynix Plim 1.0."
GHOST_TITLES=("$WARN_TITLE" "$REFUSE_TITLE" "$DONE_TITLE")
installing() { ghost_watch "$BACKDROP" "$INST"; }

STEP="installation at 10 %"
inst_fill_at_least() { installing; fill_at_least "$@"; }
check "the bar reaches 10 %" poll 40000 inst_fill_at_least "$INST" $(((BAR_LEN + 9) / 10))
shot 07-install-10
say "     bar at $(pct "$FILL") % after $(secs $(($(now_ms) - T_INST))) s"

STEP="clicking the backdrop (installation)"
click_at 20 700
sleep 0.6
check "the focus comes back to the installation" poll 2500 in_front "$INST"
check "only the backdrop and the installation are visible" only_visible "$BACKDROP" "$INST"
sleep 1.5
check "and a moment later still only those two" only_visible "$BACKDROP" "$INST"
installing

STEP="installation at 55 %"
check "the bar reaches 55 %" poll 90000 inst_fill_at_least "$INST" $(((BAR_LEN * 55 + 99) / 100))
shot 08-install-55
say "     bar at $(pct "$FILL") % after $(secs $(($(now_ms) - T_INST))) s"

STEP="waste bin"
LAST_FILL=0
watch_for_warning() {
    installing
    [ -n "$(windows_titled "$WARN_TITLE")" ] && return 0
    bar_fill "$INST" && LAST_FILL=$FILL
    return 1
}
poll 90000 watch_for_warning || abort "no box \"$WARN_TITLE\" within 90 s of 55 % (bar at $LAST_FILL of $BAR_LEN pixels)"
wait_titled WARN "$WARN_TITLE" 1000 || abort "more than one box \"$WARN_TITLE\""
T_BOXES=$(now_ms)
shot 09-bin-box
check "title bar reads \"$WARN_TITLE\"" title_is "$WARN" "$WARN_TITLE"
late_enough() { [ "$LAST_FILL" -ge $((BAR_LEN * 78 / 100)) ] || { WHY="the bar was last seen at $(pct "$LAST_FILL") % ($LAST_FILL pixels)"; return 1; }; }
check "the box comes once the bar is near 80 %" late_enough
check "the box is in front and active" poll 2000 in_front "$WARN"
press_key "$WARN" Return
wait_titled REFUSE "$REFUSE_TITLE" 3000 || abort "no box \"$REFUSE_TITLE\" after answering Yes"
check "answering Yes closes the question" not_visible "$WARN"
pass "a box titled \"$REFUSE_TITLE\" follows"
check "title bar reads \"$REFUSE_TITLE\"" title_is "$REFUSE" "$REFUSE_TITLE"
check "the box is in front and active" poll 2000 in_front "$REFUSE"
shot 10-bin-refusal
press_key "$REFUSE" Return
check "Return closes it" poll 3000 not_visible "$REFUSE"
T_BOXES=$(($(now_ms) - T_BOXES))
past_80() { bar_fill "$INST" && [ "$FILL" -ge $((BAR_LEN * 80 / 100)) ] && [ "$FILL" -le $((BAR_LEN * 86 / 100)) ] || { WHY="bar at $FILL of $BAR_LEN pixels"; return 1; }; }
check "the question came past 80 % (and not much later)" past_80
check "the installation goes on" poll 3000 inst_fill_at_least "$INST" $((FILL + 1))

STEP="installation finishes"
no_second_warning() { [ -z "$(windows_titled "$WARN_TITLE")" ]; }
SECOND_WARNING=0
watch_for_done() {
    no_second_warning || SECOND_WARNING=1
    one_titled "$DONE_TITLE" && return 0
    installing
    return 1
}
poll 60000 watch_for_done || abort "no window \"$DONE_TITLE\" within 60 s after the waste-bin boxes (bar at $FILL of $BAR_LEN)"
DONE=$FOUND
DT=$(($(now_ms) - T_INST - T_BOXES))
say "     the installation took $(secs $DT) s besides the time in the boxes"
install_time() { [ "$DT" -ge 145000 ] && [ "$DT" -le 175000 ] || { WHY="$(secs $DT) s"; return 1; }; }
check "the installation takes about 196 ticks of 0.8 s (145 to 175 s)" install_time
no_repeat() { [ "$SECOND_WARNING" = 0 ] || { WHY="\"$WARN_TITLE\" came a second time"; return 1; }; }
check "the waste-bin question does not come again" no_repeat
check "the installation window is gone" poll 1000 not_visible "$INST"
check "no other window, of the program or of any other process, showed up during the installation" no_ghost

STEP="completion dialog"
check "title bar reads \"$DONE_TITLE\"" title_is "$DONE" "$DONE_TITLE"
check "client area 314x125" has_size "$DONE" 314 125
check "it has a title bar" framed "$DONE"
check "centred on the screen" centred "$DONE"
check "only the backdrop and the dialog are visible" only_visible "$BACKDROP" "$DONE"
check "the dialog is in front and active" poll 2000 in_front "$DONE"
shot 11-completion

STEP="clicking the backdrop (completion)"
click_at 20 700
sleep 0.6
check "the focus comes back to the completion dialog" poll 2500 in_front "$DONE"
check "only the backdrop and the dialog are visible" only_visible "$BACKDROP" "$DONE"

STEP="completion OK"
RESTART=""
only_restart_screen() {
    local ws
    ws=$(visible_windows)
    [ "$(wc -w <<<"$ws")" -eq 1 ] || return 1
    covers_screen "$ws" || return 1
    RESTART=$ws
}
restart_blue() {
    local c
    grab
    c=$(pixel "$WORK/screen.png" 5 5)
    [ "$c" = "#0000C0" ] || { WHY="pixel at the top left is $c"; return 1; }
}
click_in "$DONE" 156 100
poll 3000 only_restart_screen || abort "after OK: not a single full-screen window (visible: $(describe_visible))"
pass "OK leaves one full-screen window, the backdrop and the dialog are gone"
check "the restart screen is borderless" borderless "$RESTART"
check "it is dark blue" restart_blue
shot 12-restart

STEP="restart screen click"
FAULT_TITLE="Chyba"
click_at 20 20
wait_titled FAULT "$FAULT_TITLE" 3000 || abort "no window \"$FAULT_TITLE\" within 3 s of the click"
check "the restart screen is gone" poll 1000 not_visible "$RESTART"
check "only the fault dialog is visible" only_visible "$FAULT"

STEP="fault dialog"
check "title bar reads \"$FAULT_TITLE\"" title_is "$FAULT" "$FAULT_TITLE"
check "client area 228x94" has_size "$FAULT" 228 94
check "it has a title bar" framed "$FAULT"
check "centred on the screen" centred "$FAULT"
check "it is the active window" poll 2000 active_is "$FAULT"
shot 13-fault

STEP="fault dialog Konec"
click_in "$FAULT" 160 76
wait_titled BOX "$REFUSAL_TITLE" 3000 || abort "no box \"$REFUSAL_TITLE\" within 3 s of \"Konec\""
pass "a box titled \"$REFUSAL_TITLE\" comes"
press_key "$BOX" Return
check "Return closes the box" poll 3000 not_visible "$BOX"
check "the fault dialog is still there, alone" only_visible "$FAULT"

STEP="closing the fault dialog"
close_box "$FAULT"
wait_titled DONE "$DONE_TITLE" 3000 || abort "no window \"$DONE_TITLE\" within 3 s of closing \"$FAULT_TITLE\""
check "the fault dialog goes" poll 1000 gone "$FAULT_TITLE"
check "the completion dialog is back, without the backdrop" only_visible "$DONE"
check "centred on the screen" centred "$DONE"
check "it is the active window" poll 2000 active_is "$DONE"

STEP="completion OK again"
click_in "$DONE" 156 100
poll 3000 only_restart_screen || abort "after OK: not a single full-screen window (visible: $(describe_visible))"
pass "the restart screen comes again, alone"
check "it is dark blue" restart_blue
click_at 20 20
wait_titled FAULT "$FAULT_TITLE" 3000 || abort "no window \"$FAULT_TITLE\" within 3 s of the click"
pass "a click brings \"$FAULT_TITLE\" again"
check "only the fault dialog is visible" poll 1000 only_visible "$FAULT"

STEP="fault dialog Znovu"
click_in "$FAULT" 64 76
T_ZNOVU=$(now_ms)
wait_titled PROMPT "$PROMPT_TITLE" 1000 || abort "no prompt within 1 s of \"Znovu\""
check "the prompt is there at once, alone" only_visible "$PROMPT"
check "centred on the screen" centred "$PROMPT"
check "it reads \"Ano\" on the left as it was left" answers_read "$PROMPT" left
check "it is the active window" poll 2000 active_is "$PROMPT"
shot 14-prompt-again
# Over the next 2.5 s neither the splash nor another prompt may come.
stays_alone() {
    while [ $(($(now_ms) - T_ZNOVU)) -lt 2500 ]; do
        ensure_alive
        only_visible "$PROMPT" || return 1
        sleep 0.1
    done
    only_visible "$PROMPT"
}
check "neither the splash nor another prompt follows" stays_alone

STEP="leaving"
# Closing the prompt brings the splash back; closing the splash, the last
# visible window, within its two seconds ends the program. Should the next
# prompt win the race, it is closed again.
LEFT=0
for attempt in 1 2 3; do
    close_box "$PROMPT"
    poll 1500 splash_back || abort "closing the prompt does not bring the splash back (visible: $(describe_visible))"
    [ "$attempt" = 1 ] && pass "closing the prompt brings the splash back"
    close_box "$SPLASH"
    if wait_exit 3000; then
        LEFT=1
        break
    fi
    say "     the program is still running after Alt+F4 on the splash (visible: $(describe_visible)); again"
    wait_titled PROMPT "$PROMPT_TITLE" 5000 || abort "neither the end nor a new prompt after closing the splash"
done
left() { [ "$LEFT" = 1 ] || { WHY="still running after three attempts"; return 1; }; }
check "closing the splash, the last visible window, ends the program" left
clean_exit_checks
harmless_checks
exit 0
}
