#!/bin/sh
# Installs the build into a temporary prefix and checks what lands there.
# Usage: check-install.sh files|validate BUILD_DIR SOURCE_DIR VERSION GUI(0|1)
#   files:    every file in its place, icons at their sizes, versions agree,
#             kirvo-cli runs from the prefix.
#   validate: appstreamcli, desktop-file-validate, man warnings and the bash
#             completion on the installed files; exit 77 (skipped) when a tool is missing.
set -u
mode=$1 build=$2 src=$3 version=$4 gui=$5
app_id=example.orvane.kirvo

prefix=$(mktemp -d "${TMPDIR:-/tmp}/kirvo-install.XXXXXX") || exit 1
trap 'rm -rf "$prefix"' EXIT INT TERM
failures=0
fail() { echo "FEHLER: $*"; failures=$((failures + 1)); }

if ! cmake --install "$build" --prefix "$prefix" > "$prefix.log" 2>&1; then
  cat "$prefix.log"; rm -f "$prefix.log"
  echo "FEHLER: cmake --install ist gescheitert"
  exit 1
fi
rm -f "$prefix.log"

share=$prefix/share
desktop=$share/applications/$app_id.desktop
metainfo=$share/metainfo/$app_id.metainfo.xml
completion=$share/bash-completion/completions/kirvo-cli

# PNG width and height: big-endian 32-bit words at bytes 16 and 20 of the IHDR chunk.
png_size() {
  set -- $(od -An -tu1 -j16 -N8 "$1")
  echo "$(( ($1 << 24) + ($2 << 16) + ($3 << 8) + $4 ))x$(( ($5 << 24) + ($6 << 16) + ($7 << 8) + $8 ))"
}

check_files() {
  [ -x "$prefix/bin/kirvo-cli" ] || fail "bin/kirvo-cli fehlt oder ist nicht ausführbar"
  out=$("$prefix/bin/kirvo-cli" --version 2>&1)
  [ "$out" = "kirvo-cli $version" ] || fail "installiertes kirvo-cli --version sagt '$out', erwartet 'kirvo-cli $version'"

  for page in kirvo-cli $( [ "$gui" = 1 ] && echo kirvo ); do
    man=$share/man/man1/$page.1.gz
    if [ ! -f "$man" ]; then fail "Handbuchseite $page.1.gz fehlt"; continue; fi
    gzip -t "$man" 2>/dev/null || fail "$page.1.gz ist kein gültiges gzip"
    gzip -dc "$man" | grep -q "^\.TH \"$page\" \"1\"" || fail "$page.1.gz hat keinen Kopf .TH $page 1"
  done
  if [ -f "$share/man/man1/kirvo-cli.1.gz" ]; then
    for opt in compare sync undo --list --filter --exclude-subfolders --exclude-system-folders --no-tolerance \
               --format --direction --dry-run --yes --help --version; do
      gzip -dc "$share/man/man1/kirvo-cli.1.gz" | sed 's/\\//g' | grep -q -- "$opt" ||
        fail "kirvo-cli.1 erwähnt $opt nicht"
    done
  fi

  [ -f "$completion" ] || fail "Bash-Vervollständigung fehlt"
  [ -f "$share/doc/kirvo/copyright" ] || fail "doc/kirvo/copyright fehlt"
  if [ -f "$share/doc/kirvo/changelog.gz" ]; then
    first=$(gzip -dc "$share/doc/kirvo/changelog.gz" | head -n 1)
    case $first in "kirvo ($version) "*) ;; *) fail "changelog beginnt mit '$first', nicht mit Version $version" ;; esac
  else
    fail "doc/kirvo/changelog.gz fehlt"
  fi

  if [ "$gui" = 1 ]; then
    [ -x "$prefix/bin/kirvo" ] || fail "bin/kirvo fehlt oder ist nicht ausführbar"
    [ -f "$desktop" ] || fail "Desktop-Eintrag $app_id.desktop fehlt"
    [ -f "$metainfo" ] || fail "AppStream-Datei $app_id.metainfo.xml fehlt"
    [ -f "$share/icons/hicolor/scalable/apps/kirvo.svg" ] || fail "scalable/apps/kirvo.svg fehlt"
    for size in 16 22 24 32 48 64 128 256; do
      png=$share/icons/hicolor/${size}x${size}/apps/kirvo.png
      if [ ! -f "$png" ]; then fail "${size}x${size}/apps/kirvo.png fehlt"; continue; fi
      got=$(png_size "$png")
      [ "$got" = "${size}x${size}" ] || fail "${size}x${size}/apps/kirvo.png ist $got groß"
    done
    if [ -f "$desktop" ]; then
      grep -qx 'Exec=kirvo %F' "$desktop" || fail "Desktop-Eintrag: Exec ist nicht 'kirvo %F'"
      grep -qx 'Icon=kirvo' "$desktop" || fail "Desktop-Eintrag: Icon ist nicht 'kirvo'"
      grep -qx 'Categories=Utility;FileTools;' "$desktop" || fail "Desktop-Eintrag: Kategorien"
    fi
    if [ -f "$metainfo" ]; then
      grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
        fail "AppStream: launchable nennt nicht $app_id.desktop"
      grep -q "<release version=\"$version\"" "$metainfo" || fail "AppStream: keine Ausgabe $version"
    fi
  fi
}

# Completions offered for a command line whose last word is being completed.
complete_words() {
  bash -c '
    . /usr/share/bash-completion/bash_completion
    . "$0"
    COMP_WORDS=("$@"); COMP_CWORD=$(( $# - 1 ))
    COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _kirvo_cli kirvo-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}" 2>/dev/null
    [ ${#COMPREPLY[@]} -eq 0 ] || printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | tr "\n" " "
  ' "$completion" kirvo-cli "$@"
}

expect_completion() {
  expected=$1; shift
  got=$(cd "$prefix/tree" && complete_words "$@")
  [ "$got" = "$expected" ] || fail "Vervollständigung von 'kirvo-cli $*': '$got', erwartet '$expected'"
}

check_validators() {
  missing=""
  command -v appstreamcli > /dev/null || missing="$missing appstream"
  command -v desktop-file-validate > /dev/null || missing="$missing desktop-file-utils"
  [ -f /usr/share/bash-completion/bash_completion ] || missing="$missing bash-completion"
  if [ -n "$missing" ]; then
    echo "ÜBERSPRUNGEN: Prüfwerkzeuge fehlen (Pakete:$missing)"
    exit 77
  fi

  if [ "$gui" = 1 ]; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
  fi
  if command -v man > /dev/null; then
    for page in "$share"/man/man1/*.1.gz; do
      warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 > /dev/null)
      [ -z "$warnings" ] || fail "man meldet für $(basename "$page"): $warnings"
    done
  else
    echo "Hinweis: man fehlt, Handbuchseiten nicht mit man geprüft"
  fi

  mkdir -p "$prefix/tree/alpha" "$prefix/tree/beta" && touch "$prefix/tree/datei.txt"
  expect_completion "compare job run schedule sync undo watch " ""
  expect_completion "delete list save show " job ""
  expect_completion "--every= " schedule dokumente --ev
  expect_completion "--help --version " --
  expect_completion "--direction= --dry-run " sync --d
  expect_completion "--exclude-subfolders --exclude-system-folders --exclude= " compare --ex
  expect_completion "--filter-from= --filter= " compare --fil
  expect_completion "to-source to-target " compare --filter=to
  expect_completion "all equal to-source to-target unequal " sync --filter=
  expect_completion "text tsv " compare --format=t
  expect_completion "both to-source to-target " sync --direction=
  expect_completion "" compare --direction=
  expect_completion "alpha beta " compare --no-tolerance ""
  expect_completion "beta " sync --yes alpha b
}

case $mode in
  files) check_files ;;
  validate) check_validators ;;
  *) echo "unbekannter Modus: $mode"; exit 2 ;;
esac

if [ "$failures" -ne 0 ]; then
  echo "$failures Fehler"
  exit 1
fi
echo "Installation ($mode) in Ordnung"
