#!/bin/sh
# The message catalogues in po/ against the texts marked in src/.
# Usage: po-catalogue.sh update|check SOURCE_DIR
#   update: regenerates po/kirvo.pot from the sources and merges it into po/*.po
#           (new texts come in empty or marked fuzzy, texts gone are dropped).
#   check:  fails, saying what to do, when po/kirvo.pot or a po/*.po is not up to
#           date with the sources, a text has no translation or a catalogue is broken.
set -eu
mode=$1 src=$2
po=$src/po

tmp=$(mktemp -d "${TMPDIR:-/tmp}/kirvo-po.XXXXXX")
trap 'rm -rf "$tmp"' EXIT INT TERM

# The template: every text marked with Tr, TrN, TrNoop, QTr or QTrN, in the order
# of the files, with file names but no line numbers (so unrelated edits leave it be).
make_pot() {
  (cd "$src" && find src -name '*.cpp' -o -name '*.h' | LC_ALL=C sort > "$tmp/files")
  (cd "$src" && xgettext --from-code=UTF-8 --language=C++ --add-comments=TRANSLATORS: \
      --keyword= --keyword=Tr --keyword=TrN:1,2 --keyword=TrNoop --keyword=TrNNoop:1,2 --keyword=QTr --keyword=QTrN:1,2 \
      --add-location=file --package-name=Kirvo --files-from="$tmp/files" -o "$1")
}

# A catalogue merged with the template as `update` leaves it.
merge() {
  msgmerge --quiet --previous "$1" "$2" -o - | msgattrib --no-obsolete -o "$3"
}

# Without the header's dates.
undated() { grep -v -e '^"POT-Creation-Date:' -e '^"PO-Revision-Date:' "$1"; }

case $mode in
update)
  # A file whose content stays the same keeps its dates (no change to commit).
  make_pot "$tmp/kirvo.pot"
  undated "$tmp/kirvo.pot" > "$tmp/new.pot"
  undated "$po/kirvo.pot" > "$tmp/old.pot" 2>/dev/null || : > "$tmp/old.pot"
  cmp -s "$tmp/new.pot" "$tmp/old.pot" || cp "$tmp/kirvo.pot" "$po/kirvo.pot"
  for file in "$po"/*.po; do
    merge "$file" "$po/kirvo.pot" "$tmp/merged.po"
    undated "$tmp/merged.po" > "$tmp/merged.undated"
    undated "$file" > "$tmp/file.undated"
    cmp -s "$tmp/merged.undated" "$tmp/file.undated" || cp "$tmp/merged.po" "$file"
  done
  echo "po/kirvo.pot erneuert; jetzt in po/*.po jeden leeren und jeden mit \"#, fuzzy\" markierten Eintrag übersetzen."
  ;;
check)
  todo="Abhilfe: cmake --build build --target kirvo_pot, dann in po/en.po jeden Eintrag mit leerem msgstr
übersetzen und bei jedem \"#, fuzzy\" die Übersetzung prüfen und die Markierung entfernen; po/kirvo.pot und
po/en.po mit einchecken. (Fix: run cmake --build build --target kirvo_pot, translate every entry of po/en.po
with an empty msgstr, check each one marked \"#, fuzzy\" and remove the mark, commit po/kirvo.pot and po/en.po.)"
  failed=0
  make_pot "$tmp/kirvo.pot"
  undated "$tmp/kirvo.pot" > "$tmp/new.pot"
  undated "$po/kirvo.pot" > "$tmp/old.pot" 2>/dev/null || : > "$tmp/old.pot"
  if ! cmp -s "$tmp/new.pot" "$tmp/old.pot"; then
    echo "FEHLER: po/kirvo.pot passt nicht zu den markierten Texten in src/:"
    diff -u "$tmp/old.pot" "$tmp/new.pot" | grep '^[-+]msgid' | head -n 20
    failed=1
  fi
  for file in "$po"/*.po; do
    name=po/$(basename "$file")
    merge "$file" "$tmp/kirvo.pot" "$tmp/merged.po"
    undated "$tmp/merged.po" > "$tmp/merged.undated"
    undated "$file" > "$tmp/file.undated"
    if ! cmp -s "$tmp/merged.undated" "$tmp/file.undated"; then
      echo "FEHLER: $name ist nicht mit den Texten in src/ abgeglichen:"
      diff -u "$tmp/file.undated" "$tmp/merged.undated" | grep '^[-+]msgid' | head -n 20
      failed=1
    fi
    for kind in untranslated only-fuzzy; do
      rm -f "$tmp/$kind.po"
      msgattrib --$kind --no-obsolete "$tmp/merged.po" -o "$tmp/$kind.po"
      if [ -s "$tmp/$kind.po" ]; then
        echo "FEHLER: $name hat Texte ohne fertige Übersetzung ($kind):"
        grep -A1 '^msgid "[^"]' "$tmp/$kind.po" | grep -v '^--' | head -n 20
        failed=1
      fi
    done
    if ! msgfmt --check --statistics -o /dev/null "$file"; then
      echo "FEHLER: msgfmt --check meldet Fehler in $name"
      failed=1
    fi
  done
  if [ $failed -ne 0 ]; then echo "$todo"; exit 1; fi
  ;;
*)
  echo "Aufruf: po-catalogue.sh update|check QUELLORDNER" >&2
  exit 2
  ;;
esac
