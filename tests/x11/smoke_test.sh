#!/usr/bin/env bash
# The real program once under a real X server with a window manager and real
# fonts, driven like a user with xdotool: type a source and a target path,
# press Return, and check that the comparison ran, that the dates in the list
# are shown in full, that Space and F5 reach the list, that window titles read
# exactly as set, that closing the window writes both paths, and that on a
# screen scaled twice the window fits and keeps its stored size. What the offscreen tests cannot see (focus
# proxies, the window manager, the fonts) is checked here.
# Usage: smoke_test.sh PATH/TO/kirvo
set -euo pipefail

kirvo=${1:?Aufruf: smoke_test.sh PFAD/ZU/kirvo}
# The texts checked below are the German ones, whatever the desktop's language.
export LANG=C
unset LANGUAGE LC_ALL LC_MESSAGES
for tool in Xvfb openbox xdotool; do
  command -v "$tool" >/dev/null || { echo "FEHLT: $tool (scripts/install-deps installiert es)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/kirvo-smoke.XXXXXX)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FEHLER: $*" >&2; [ -f "$work/report" ] && cat "$work/report" >&2; exit 1; }

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1; shift
  for ((i = 0; i < seconds * 10; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}

# A display of its own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 10 test -s "$work/display" || fail "Xvfb startet nicht"
export DISPLAY=:$(head -n1 "$work/display")
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1
kill -0 "${pids[1]}" 2>/dev/null || fail "openbox startet nicht"

# Two trees; the widest date there is, and one file per side.
mkdir -p "$work/q/Docs" "$work/z/Docs" "$work/home"
echo neu >"$work/q/Docs/brief.txt"
echo alt >"$work/z/Docs/brief.txt"
touch -d '2099-12-31 23:59:59' "$work/q/Docs/brief.txt"
touch -d '2023-06-01 08:15:30' "$work/z/Docs/brief.txt"
echo q >"$work/q/nur-quelle.txt"
echo z >"$work/z/nur-ziel.txt"

HOME=$work/home XDG_CONFIG_HOME=$work/home/.config KIRVO_TEST_REPORT=$work/report \
  "$kirvo" >"$work/kirvo.log" 2>&1 &
kirvo_pid=$!
pids+=("$kirvo_pid")
window=$(timeout 20 xdotool search --sync --name '^Unbenannt - Kirvo$' | head -n1) || fail "kein Fenster"
[ "$(xdotool getwindowname "$window")" = "Unbenannt - Kirvo" ] || fail "Titel: $(xdotool getwindowname "$window")"
xdotool windowactivate --sync "$window"
wait_for 10 grep -q '^zeilen' "$work/report" 2>/dev/null || fail "kein Bericht"

# Clicks into a path field (its middle, from the report) and types a path.
type_into() {
  local x y w h
  read -r _ x y w h < <(grep "^$1 " "$work/report")
  xdotool mousemove --window "$window" $((x + w / 2)) $((y + h / 2)) click 1
  sleep 0.2
  xdotool key ctrl+a BackSpace
  xdotool type --delay 5 "$2"
}
type_into quelle "$work/q"
type_into ziel "$work/z"
xdotool key Return

rows() { sed -n 's/^zeilen //p' "$work/report"; }
five_rows() { [ "$(rows)" = 5 ]; }
wait_for 20 five_rows || fail "Return hat nicht verglichen (zeilen $(rows), erwartet 5)"

# Every date shows all its digits; sizes, dates and paths are not cut (the
# attributes may be, at the window's first size).
problems=$(awk -F'\t' '
  $1 != "zeile" { next }
  { for (c = 3; c <= 10; c++) if (c != 5 && c != 6 && c != 7 && c != 10 && $c ~ /\.\.\.$/) print "Zelle gekürzt: " $c }
  { for (c = 4; c <= 9; c += 5) if ($c != "") {
      dates++
      if ($c !~ /^[ 0-9][0-9]\.[0-9][0-9]\.[0-9][0-9][0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]$/) print "Datum: " $c } }
  END { if (dates != 4) print dates " Daten statt 4" }' "$work/report")
[ -z "$problems" ] || fail "$problems"
grep -q $'\t31.12.2099 23:59:59\t' "$work/report" || fail "31.12.2099 23:59:59 fehlt"

# The keyboard on the list, found through the report: a click on the second
# row's text, Space flips its tick, F5 compares again and ticks it anew.
read -r _ lx ly _ _ < <(grep '^liste ' "$work/report")
rh=$(sed -n 's/^zeilenhöhe //p' "$work/report")
marked() { sed -n 's/^markiert //p' "$work/report"; }
[ "$(marked)" = "1,2,4" ] || fail "markiert: $(marked), erwartet 1,2,4"
xdotool mousemove --window "$window" $((lx + 120)) $((ly + rh + rh / 2)) click 1
sleep 0.2
xdotool key space
wait_for 5 grep -qx 'markiert 2,4' "$work/report" || fail "Leertaste: markiert $(marked), erwartet 2,4"
xdotool key F5
wait_for 10 grep -qx 'markiert 1,2,4' "$work/report" || fail "F5: markiert $(marked), erwartet 1,2,4"
wait_for 5 grep -qx 'status Bereit' "$work/report" || fail "Statusleiste: $(sed -n 's/^status //p' "$work/report")"

# The folder chooser's title exactly as set ("E&xtras" › "Ziel wählen").
# A search may meet a window that is going away (X error); it is asked again.
find_chooser() { chooser=$(xdotool search --name '^Zielpfad' 2>/dev/null | head -n1) && [ -n "$chooser" ]; }
xdotool key alt+x
sleep 0.5
xdotool key Down Return
wait_for 15 find_chooser || fail "keine Ordnerauswahl"
[ "$(xdotool getwindowname "$chooser")" = "Zielpfad auswählen" ] ||
  fail "Titel der Ordnerauswahl: '$(xdotool getwindowname "$chooser")'"
xdotool key Escape
wait_for 10 sh -c "! xdotool search --name '^Zielpfad' >/dev/null 2>&1" || fail "Ordnerauswahl bleibt offen"

# Closing through the window manager writes both paths.
xdotool windowactivate --sync "$window" key alt+F4
wait_for 20 sh -c "! kill -0 $kirvo_pid 2>/dev/null" || fail "das Fenster schließt nicht"
wait "$kirvo_pid" || fail "kirvo endet mit Status $?"
settings=$work/home/.config/Orvane/Kirvo.conf
grep -qx "Quelle0=$work/q" "$settings" || fail "Quelle fehlt in $settings"
grep -qx "Ziel0=$work/z" "$settings" || fail "Ziel fehlt in $settings"

# On a screen scaled twice, a stored size larger than the screen: the window
# opens within it, and closing leaves the stored size as it was.
mkdir -p "$work/home2/.config/Orvane"
printf '[Main]\ncx=1208\ncy=846\n' >"$work/home2/.config/Orvane/Kirvo.conf"
HOME=$work/home2 XDG_CONFIG_HOME=$work/home2/.config QT_SCALE_FACTOR=2 "$kirvo" >"$work/kirvo2.log" 2>&1 &
kirvo_pid=$!
pids+=("$kirvo_pid")
window=$(timeout 20 xdotool search --sync --name '^Unbenannt - Kirvo$' | head -n1) || fail "kein Fenster (skaliert)"
xdotool windowactivate --sync "$window"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
((X + WIDTH <= 1280 && Y + HEIGHT <= 800)) || fail "skaliert größer als der Bildschirm: ${WIDTH}x${HEIGHT} bei $X,$Y"
xdotool key alt+F4
wait_for 20 sh -c "! kill -0 $kirvo_pid 2>/dev/null" || fail "das skalierte Fenster schließt nicht"
grep -qx 'cx=1208' "$work/home2/.config/Orvane/Kirvo.conf" && grep -qx 'cy=846' "$work/home2/.config/Orvane/Kirvo.conf" ||
  fail "gespeicherte Größe geändert: $(grep '^c[xy]=' "$work/home2/.config/Orvane/Kirvo.conf" | tr '\n' ' ')"
echo "ok: verglichen über Return, Daten vollständig, Leertaste und F5, Titel genau, Pfade gespeichert, skaliert im Bildschirm (Anzeige $DISPLAY)"
