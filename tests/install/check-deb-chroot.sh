#!/usr/bin/env bash
# Installs the built .deb into a fresh minimal Debian 12 root (debootstrap) with
# apt, as a user would with "apt install ./kirvo_*.deb", and checks that the
# programs run and the desktop files are in place. Needs root and the Debian
# archive; downloads a few hundred MB the first time.
# Usage: tests/install/check-deb-chroot.sh DEB [ROOT]   (ROOT is kept for reuse)
set -euo pipefail
deb=$(realpath "$1")
root=${2:-/var/tmp/kirvo-bookworm-root}

command -v debootstrap > /dev/null || apt-get install -y -qq --no-install-recommends debootstrap > /dev/null
if [ ! -x "$root/usr/bin/apt-get" ]; then
  echo "Lege ein frisches Debian 12 in $root an ..." >&2
  # A partial root left by an interrupted run would make debootstrap fail.
  rm -rf "$root"
  debootstrap --variant=minbase bookworm "$root" > "$root.log" 2>&1 || { tail -20 "$root.log"; exit 1; }
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

mounted=()
cleanup() {
  local m
  for m in "${mounted[@]}"; do umount "$m" || true; done
}
trap cleanup EXIT
for fs in proc sys dev; do
  if ! mountpoint -q "$root/$fs"; then
    mount --bind "/$fs" "$root/$fs" && mounted=("$root/$fs" "${mounted[@]}")
  fi
done

in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 "$@"; }

in_root dpkg --purge kirvo > /dev/null 2>&1 || true
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$deb")"

failures=0
fail() { echo "FEHLER: $*"; failures=$((failures + 1)); }
out=$(in_root kirvo-cli --version) || fail "kirvo-cli läuft nicht"
echo "kirvo-cli --version: $out"
# The window either ends by itself or is still running after 5 s (status 124): both are a start.
status=0
in_root env QT_QPA_PLATFORM=offscreen HOME=/tmp timeout 5 kirvo < /dev/null > "$root/tmp/kirvo-start.log" 2>&1 || status=$?
if [ "$status" -ne 0 ] && [ "$status" -ne 124 ]; then
  fail "kirvo startet nicht (offscreen, Status $status): $(head -5 "$root/tmp/kirvo-start.log")"
fi
for f in /usr/share/applications/example.orvane.kirvo.desktop \
         /usr/share/metainfo/example.orvane.kirvo.metainfo.xml \
         /usr/share/icons/hicolor/scalable/apps/kirvo.svg \
         /usr/share/icons/hicolor/48x48/apps/kirvo.png \
         /usr/share/man/man1/kirvo-cli.1.gz \
         /usr/share/bash-completion/completions/kirvo-cli; do
  [ -f "$root$f" ] || fail "$f fehlt"
done
# The plugins Qt loads at run time must be there with everything they link against.
plugins=$(cd "$root" && echo usr/lib/*/qt6/plugins)
plugins=/$plugins
for p in platforms/libqxcb.so iconengines/libqsvgicon.so; do
  [ -f "$root$plugins/$p" ] || fail "Qt-Plugin $p fehlt"
done
missing=$(in_root ldd /usr/bin/kirvo /usr/bin/kirvo-cli "$plugins/platforms/libqxcb.so" \
          "$plugins/iconengines/libqsvgicon.so" 2>&1 | grep "not found" || true)
[ -z "$missing" ] || fail "fehlende Bibliotheken: $missing"
in_root dpkg --purge kirvo > /dev/null || fail "dpkg --purge kirvo"

if [ "$failures" -ne 0 ]; then echo "$failures Fehler"; exit 1; fi
echo "Paket lässt sich in einem frischen Debian 12 installieren und entfernen"
