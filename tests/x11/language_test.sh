#!/usr/bin/env bash
# The window speaks the desktop's language: started under an English locale
# (also one this machine has not generated, and LANGUAGE=en with LANG=C) its
# title reads "Untitled - Kirvo"; under a German locale and under C it stays
# "Unbenannt - Kirvo". Run against the real program under a real X server.
# Usage: language_test.sh PATH/TO/kirvo
set -euo pipefail

kirvo=${1:?Aufruf: language_test.sh PFAD/ZU/kirvo}
command -v Xvfb >/dev/null && command -v xdotool >/dev/null ||
  { echo "FEHLT: Xvfb oder xdotool (scripts/install-deps installiert sie)" >&2; exit 1; }

work=$(mktemp -d /tmp/kirvo-language.XXXXXX)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FEHLER: $*" >&2; exit 1; }

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for ((i = 0; i < 100; i++)); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb startet nicht"
export DISPLAY=:$(head -n1 "$work/display")
mkdir -p "$work/home"

# expect_title TITLE VAR=VALUE...: starts kirvo with only these locale settings.
expect_title() {
  local title=$1; shift
  env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG "$@" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    "$kirvo" >"$work/kirvo.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  timeout 20 xdotool search --sync --name "^$title\$" >/dev/null ||
    fail "$* – kein Fenster \"$title\"; Titel: $(xdotool search --name 'Kirvo' getwindowname 2>/dev/null | head -n1)"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

expect_title "Untitled - Kirvo" LANG=en_US.UTF-8
expect_title "Untitled - Kirvo" LANGUAGE=en LANG=C
expect_title "Unbenannt - Kirvo" LANG=de_DE.UTF-8
expect_title "Unbenannt - Kirvo" LANG=C
echo "Titel in beiden Sprachen wie erwartet"
