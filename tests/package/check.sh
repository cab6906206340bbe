#!/usr/bin/env bash
# What `cmake --install` puts on a desktop, checked with the desktop's own
# tools: the install is staged into a scratch DESTDIR, then the desktop entry
# goes through desktop-file-validate, the AppStream metadata through
# appstreamcli, the icons through ImageMagick and rsvg-convert, the manual page
# through man and lexgrog, and the Debian copyright and changelog are read the
# way Debian's tools read them.
#
# Usage: check.sh CMAKE BUILD_DIR SOURCE_DIR APP_ID VERSION
#
# Every check prints "ok" or "FAIL"; the last line is the summary
# "package: N passed, N failed", and the exit status is 0 only when nothing
# failed.
set -uo pipefail

CMAKE=${1:?usage: check.sh CMAKE BUILD_DIR SOURCE_DIR APP_ID VERSION}
BUILD=${2:?build folder}
SRC=${3:?source folder}
ID=${4:?desktop id}
VERSION=${5:?project version}

export LC_ALL=C.UTF-8
PASSED=0
FAILED=0
ok() { PASSED=$((PASSED + 1)); printf 'ok   - %s\n' "$1"; }
fail() { FAILED=$((FAILED + 1)); printf 'FAIL - %s\n' "$1"; [ -z "${2:-}" ] || printf '%s\n' "$2" | sed 's/^/     | /'; }
# check DESCRIPTION COMMAND...: COMMAND may set WHY to say what it saw.
check() {
    local what=$1
    shift
    WHY=""
    if "$@"; then ok "$what"; else fail "$what" "$WHY"; fi
}
finish() {
    [ -n "${WORK:-}" ] && rm -rf "$WORK"
    printf 'package: %d passed, %d failed\n' "$PASSED" "$FAILED"
    [ "$FAILED" -eq 0 ]
    exit
}

missing=()
for tool in desktop-file-validate appstreamcli man lexgrog identify convert compare rsvg-convert dpkg-parsechangelog gzip; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    fail "tools present" "missing: ${missing[*]} (./test.sh installs them)"
    finish
fi

WORK=$(mktemp -d /tmp/vp-package.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

# ------------------------------------------------------------------ staging

stage() { # DESTDIR PREFIX
    DESTDIR=$1 "$CMAKE" --install "$BUILD" --prefix "$2" >"$WORK/install.log" 2>&1 \
        || { WHY=$(tail -n 20 "$WORK/install.log"); return 1; }
}
check "cmake --install into a scratch DESTDIR, prefix /usr" stage "$WORK/usr-stage" /usr
ROOT=$WORK/usr-stage/usr
[ -d "$ROOT" ] || { fail "the staged tree exists"; finish; }

EXPECTED="bin/valdrynix-plim
games/valdrynix-plim
share/applications/$ID.desktop
share/doc/valdrynix-plim/changelog.gz
share/doc/valdrynix-plim/copyright
share/icons/hicolor/128x128/apps/$ID.png
share/icons/hicolor/16x16/apps/$ID.png
share/icons/hicolor/256x256/apps/$ID.png
share/icons/hicolor/32x32/apps/$ID.png
share/icons/hicolor/48x48/apps/$ID.png
share/icons/hicolor/64x64/apps/$ID.png
share/icons/hicolor/scalable/apps/$ID.svg
share/man/man6/valdrynix-plim.6.gz
share/metainfo/$ID.metainfo.xml"

installed_files() { # DIR: every file and link below DIR, relative, sorted
    (cd "$1" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)
}
exactly_expected() {
    local have
    have=$(installed_files "$ROOT")
    [ "$have" = "$EXPECTED" ] || { WHY=$(diff <(echo "$EXPECTED") <(echo "$have") | grep '^[<>]' | sed 's/^</missing:/; s/^>/unexpected:/'); return 1; }
}
check "the staged install holds exactly the program and its desktop files" exactly_expected

only_under_prefix() { # DESTDIR PREFIX
    local stray
    stray=$(cd "$1" && find . \( -type f -o -type l \) | grep -v "^\./${2#/}/" || true)
    [ -z "$stray" ] || { WHY="outside the prefix: $stray"; return 1; }
}
check "everything lands under DESTDIR/usr" only_under_prefix "$WORK/usr-stage" /usr

# Another prefix: the same files, moved as a whole, and the link still leads to the program.
if stage "$WORK/opt-stage" /opt/valdrynix-plim; then
    ok "cmake --install with prefix /opt/valdrynix-plim"
    check "everything lands under DESTDIR/opt/valdrynix-plim" only_under_prefix "$WORK/opt-stage" /opt/valdrynix-plim
    same_files() {
        local have
        have=$(installed_files "$WORK/opt-stage/opt/valdrynix-plim")
        [ "$have" = "$EXPECTED" ] || { WHY=$(diff <(echo "$EXPECTED") <(echo "$have") | grep '^[<>]'); return 1; }
    }
    check "the same files as with prefix /usr" same_files
    link_leads_to_program() {
        local games=$WORK/opt-stage/opt/valdrynix-plim/games/valdrynix-plim
        [ -L "$games" ] || { WHY="games/valdrynix-plim is not a link"; return 1; }
        [ "$(readlink -f "$games")" = "$(readlink -f "$WORK/opt-stage/opt/valdrynix-plim/bin/valdrynix-plim")" ] \
            || { WHY="it leads to $(readlink "$games")"; return 1; }
    }
    check "games/valdrynix-plim leads to bin/valdrynix-plim" link_leads_to_program
else
    fail "cmake --install with prefix /opt/valdrynix-plim" "$WHY"
fi

# ------------------------------------------------------------------ the program

PROGRAM=$ROOT/bin/valdrynix-plim
check "the program is an executable file" test -x "$PROGRAM"
without_display_says_so() {
    local out status=0
    out=$(cd / && env -i PATH=/usr/bin:/bin HOME="$WORK" ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
        timeout 20 "$PROGRAM" 2>&1) || status=$?
    [ "$status" -eq 1 ] || { WHY="exit status $status: $out"; return 1; }
    grep -q 'xvfb-run' <<<"$out" || { WHY="it said: $out"; return 1; }
}
check "without a display it says so, names xvfb-run and ends with status 1 (as the manual page says)" without_display_says_so

# ------------------------------------------------------------------ desktop entry

DESKTOP=$ROOT/share/applications/$ID.desktop
desktop_valid() {
    local out
    out=$(desktop-file-validate "$DESKTOP" 2>&1) || { WHY=$out; return 1; }
    # It prints hints and warnings but exits 0 for them: any output counts.
    [ -z "$out" ] || { WHY=$out; return 1; }
}
check "desktop-file-validate finds nothing to say" desktop_valid

key() { # NAME: the value of NAME in the [Desktop Entry] group
    awk -v k="$1" -F= '/^\[/ {g = $0} g == "[Desktop Entry]" && $1 == k {sub(/^[^=]*=/, ""); print; exit}' "$DESKTOP"
}
key_is() { # NAME VALUE
    local v
    v=$(key "$1")
    [ "$v" = "$2" ] || { WHY="$1=$v"; return 1; }
}
check "Icon= is the desktop id" key_is Icon "$ID"
check "Terminal=false" key_is Terminal false
check "it starts the program by its name" key_is Exec valdrynix-plim
has_key() { [ -n "$(key "$1")" ] || { WHY="no $1"; return 1; }; }
check "an English name" has_key Name
check "a Czech name" has_key 'Name[cs]'
check "a Czech comment" has_key 'Comment[cs]'
in_game_menu() {
    case ";$(key Categories);" in *";Game;"*) return 0 ;; esac
    WHY="Categories=$(key Categories)"
    return 1
}
check "listed with the games" in_game_menu
# Docks match a running window to its entry by WM_CLASS; start.sh checks the program's.
check "StartupWMClass names the program" key_is StartupWMClass valdrynix-plim

# ------------------------------------------------------------------ AppStream

METAINFO=$ROOT/share/metainfo/$ID.metainfo.xml
appstream_valid() {
    local out status=0
    out=$(appstreamcli validate --no-net --pedantic --no-color "$METAINFO" 2>&1) || status=$?
    # Pedantic hints (P:) and infos (I:) are advice; errors and warnings fail.
    if [ "$status" -ne 0 ] || grep -qE '^[EW]:' <<<"$out"; then
        WHY=$out
        return 1
    fi
}
check "appstreamcli validate --no-net --pedantic: no errors, no warnings" appstream_valid

xml_value() { # XPATH-ish element name: the text of the first such element
    sed -n "s|.*<$1>\\(.*\\)</$1>.*|\\1|p" "$METAINFO" | head -n 1
}
value_is() { # ELEMENT VALUE
    local v
    v=$(xml_value "$1")
    [ "$v" = "$2" ] || { WHY="<$1> is \"$v\""; return 1; }
}
check "the metadata id is the desktop id" value_is id "$ID"
launchable_is_entry() {
    grep -q "<launchable type=\"desktop-id\">$ID.desktop</launchable>" "$METAINFO" \
        || { WHY=$(grep -o '<launchable[^<]*</launchable>' "$METAINFO" || echo "no launchable"); return 1; }
}
check "it launches the installed desktop entry" launchable_is_entry
check "project licence MIT" value_is project_license MIT
oars_rating() {
    grep -qE '<content_rating type="oars-1\.[01]"' "$METAINFO" || { WHY="no OARS content rating"; return 1; }
}
check "an OARS content rating" oars_rating
release_is_version() {
    grep -q "<release version=\"$VERSION\"" "$METAINFO" \
        || { WHY="releases: $(grep -o '<release version="[^"]*"' "$METAINFO" | head -n 3 | tr '\n' ' ')"; return 1; }
}
check "the newest release is $VERSION" release_is_version
screenshots_exist() {
    local url path n=0 lost=""
    for url in $(sed -n 's|.*<image>\(.*\)</image>.*|\1|p' "$METAINFO"); do
        n=$((n + 1))
        path=docs/screenshots/${url##*/docs/screenshots/}
        [ -f "$SRC/$path" ] || lost+="$url "
    done
    [ "$n" -gt 0 ] || { WHY="no screenshots"; return 1; }
    [ -z "$lost" ] || { WHY="not in docs/screenshots: $lost"; return 1; }
}
check "every screenshot is a picture in docs/screenshots" screenshots_exist

# ------------------------------------------------------------------ icons

HICOLOR=$ROOT/share/icons/hicolor
icon_ok() { # SIZE
    local f=$HICOLOR/${1}x$1/apps/$ID.png info
    [ -f "$f" ] || { WHY="no $f"; return 1; }
    info=$(identify -format '%m %w %h %A' "$f" 2>&1) || { WHY=$info; return 1; }
    [ "$info" = "PNG $1 $1 True" ] || [ "$info" = "PNG $1 $1 Blend" ] || { WHY="format, size, alpha: $info"; return 1; }
    # The ground is transparent: the corner pixel lets everything through.
    local corner
    corner=$(convert "$f" -format '%[fx:p{0,0}.a]' info: 2>&1)
    [ "$corner" = 0 ] || { WHY="the top left corner has alpha $corner"; return 1; }
}
for size in 16 32 48 64 128 256; do
    check "icon ${size}x$size: a PNG of that size with a transparent ground" icon_ok "$size"
done

SVG=$HICOLOR/scalable/apps/$ID.svg
svg_renders() {
    local out
    out=$(rsvg-convert -w 512 -h 512 "$SVG" -o "$WORK/svg-512.png" 2>&1) || { WHY=$out; return 1; }
    # Something is drawn: black letters and their light grey outline on a clear ground.
    local flat=( "$WORK/svg-512.png" -background '#ff00ff' -flatten )
    local black grey clear
    black=$(convert "${flat[@]}" -fill white +opaque black -format '%[fx:int(w*h*(1-mean)+0.5)]' info:)
    grey=$(convert "${flat[@]}" -fill black +opaque '#c0c0c0' -fill white -opaque '#c0c0c0' -format '%[fx:int(w*h*mean+0.5)]' info:)
    clear=$(convert "$WORK/svg-512.png" -alpha extract -fill white +opaque black -format '%[fx:int(w*h*(1-mean)+0.5)]' info:)
    [ "$black" -gt 20000 ] && [ "$grey" -gt 5000 ] && [ "$clear" -gt 20000 ] \
        || { WHY="pixels at 512x512: $black black, $grey light grey, $clear transparent"; return 1; }
}
check "the scalable icon renders: black letters, light grey outline, transparent ground" svg_renders

# The PNGs are committed renders (packaging/icons/render.sh): they must still be
# what the sources give.
differing_pixels() { # A B: sets N to the number of pixels that differ visibly
    # Both over one loud colour first, so that a change of transparency counts too.
    convert "$1" -background '#ff00ff' -flatten "$WORK/a.png" && convert "$2" -background '#ff00ff' -flatten "$WORK/b.png" \
        || { N="?"; return; }
    N=$(compare -metric AE -fuzz 3% "$WORK/a.png" "$WORK/b.png" null: 2>&1) || true
}
renders_current() { # SIZE
    local out
    out=$(rsvg-convert -w "$1" -h "$1" "$SVG" -o "$WORK/svg-$1.png" 2>&1) || { WHY=$out; return 1; }
    differing_pixels "$WORK/svg-$1.png" "$HICOLOR/${1}x$1/apps/$ID.png"
    [ "$N" = 0 ] || { WHY="$N pixels differ from a fresh render (run packaging/icons/render.sh)"; return 1; }
}
for size in 16 48 64 128 256; do
    check "icon ${size}x$size is the current render of the SVG" renders_current "$size"
done
pixel_art_current() {
    differing_pixels "$SRC/assets/src/product_icon_32.xpm" "$HICOLOR/32x32/apps/$ID.png"
    [ "$N" = 0 ] || { WHY="$N pixels differ from assets/src/product_icon_32.xpm (run packaging/icons/render.sh)"; return 1; }
}
check "icon 32x32 is the pixel art of assets/src/product_icon_32.xpm" pixel_art_current

# ------------------------------------------------------------------ manual page

MANPAGE=$ROOT/share/man/man6/valdrynix-plim.6.gz
man_clean() {
    local err status=0
    MANWIDTH=80 man --warnings -E UTF-8 -l "$MANPAGE" >"$WORK/man.txt" 2>"$WORK/man.err" || status=$?
    err=$(cat "$WORK/man.err")
    [ "$status" -eq 0 ] && [ -z "$err" ] || { WHY="status $status: $err"; return 1; }
    [ -s "$WORK/man.txt" ] || { WHY="it shows nothing"; return 1; }
}
check "man --warnings -l shows the page without a warning" man_clean
man_name() {
    local out
    out=$(lexgrog "$MANPAGE" 2>&1) || { WHY=$out; return 1; }
    grep -q '"valdrynix-plim - ' <<<"$out" || { WHY=$out; return 1; }
}
check "lexgrog reads its NAME line (what whatis and apropos show)" man_name
man_section_6() {
    local th
    th=$(gzip -dc "$MANPAGE" | grep -m1 '^\.TH')
    [[ $th == '.TH VALDRYNIX\-PLIM 6 '*"valdrynix-plim $VERSION"* ]] || { WHY=$th; return 1; }
}
check "the page is in section 6 and names version $VERSION" man_section_6
man_sections() {
    local s lost=""
    for s in NAME SYNOPSIS DESCRIPTION OPTIONS; do
        grep -q "^$s\$" "$WORK/man.txt" || lost+="$s "
    done
    [ -z "$lost" ] || { WHY="missing: $lost"; return 1; }
}
check "it has NAME, SYNOPSIS, DESCRIPTION and OPTIONS" man_sections

# ------------------------------------------------------------------ Debian notes

DOC=$ROOT/share/doc/valdrynix-plim
COPYRIGHT=$DOC/copyright
dep5_header() {
    head -n 1 "$COPYRIGHT" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
        || { WHY=$(head -n 1 "$COPYRIGHT"); return 1; }
}
check "copyright is in the machine-readable format" dep5_header
# Every licence that a Files paragraph names has its text, there or in a
# paragraph of its own.
licences_explained() {
    local lost
    lost=$(awk 'BEGIN { RS = ""; FS = "\n" }
        {
            files = ($1 ~ /^Files:/)
            for (i = 1; i <= NF; i++) {
                if ($i !~ /^License: /) continue
                name = substr($i, 10)
                if (files) used[name] = 1
                if (i < NF && $(i + 1) ~ /^ /) explained[name] = 1
            }
        }
        END { for (n in used) if (!(n in explained)) printf "%s ", n }' "$COPYRIGHT")
    [ -z "$lost" ] || { WHY="no text for: $lost"; return 1; }
}
check "every licence it names is spelled out" licences_explained
expat_is_license_file() {
    local ours theirs
    ours=$(sed -n '/^Permission is hereby granted/,$p' "$SRC/LICENSE" | sed 's/^$/./')
    theirs=$(awk 'BEGIN {RS = ""} /^License: Expat\n/ {print; exit}' "$COPYRIGHT" | sed -n '2,$p' | sed 's/^ //')
    [ -n "$ours" ] && [ "$ours" = "$theirs" ] || { WHY=$(diff <(echo "$ours") <(echo "$theirs") | head -n 10); return 1; }
}
check "its Expat text is the project's LICENSE" expat_is_license_file

CHANGELOG=$DOC/changelog.gz
changelog_version() {
    local v
    v=$(gzip -dc "$CHANGELOG" | dpkg-parsechangelog -l - -S Version 2>&1) || { WHY=$v; return 1; }
    [ "$v" = "$VERSION" ] || { WHY="the newest entry is $v"; return 1; }
}
check "the changelog's newest entry is version $VERSION" changelog_version
no_timestamps() {
    local f stamped=""
    for f in "$CHANGELOG" "$MANPAGE"; do
        # Bytes 4-7 of a gzip header are the time stamp; gzip -n leaves them 0.
        [ "$(od -An -tu4 -j4 -N4 "$f" | tr -d ' ')" = 0 ] || stamped+="${f#"$ROOT"/} "
    done
    [ -z "$stamped" ] || { WHY="time stamp in: $stamped"; return 1; }
}
check "the compressed files carry no time stamp" no_timestamps

finish
