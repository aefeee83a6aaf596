#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks it: its files
# (dpkg-deb -c), lintian's verdict (no error, no warning), its control fields
# (dpkg-deb -f), that dpkg would install it
# here (dpkg --dry-run, as root), that the installed layout works (the
# extracted lumo-cli prepares a data directory from the delivered files beside
# it), and that the package declares what the installed program loads.
#   check_package.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/lumo_*.deb)
[ -f "${debs[0]}" ] || fail "no lumo_*.deb in $work"
deb="${debs[0]}"

contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for f in ./usr/bin/lumo ./usr/bin/lumo-cli \
         ./usr/share/lumo/Zuspa.mdb ./usr/share/lumo/lumoTW.mdb ./usr/share/lumo/lumoMTW.mdb \
         ./usr/lib/udev/rules.d/70-lumo.rules ./usr/share/applications/lumo.desktop \
         ./usr/share/icons/hicolor/scalable/apps/lumo.svg \
         ./usr/share/man/man1/lumo.1.gz ./usr/share/man/man1/lumo-cli.1.gz \
         ./usr/share/doc/lumo/copyright ./usr/share/doc/lumo/changelog.gz; do
  grep -qxF "$f" <<<"$contents" || fail "$f is not in the package"
done
pictures="$(grep -c '^\./usr/share/lumo/Data/.*\.bmp$' <<<"$contents" || true)"
[ "$pictures" -eq 72 ] || fail "the package holds $pictures point pictures, not 72"
# Nothing of the build's own: no tests, benchmarks, generators or build markers.
if grep -E '/(test_|bench_|record_traces|lumo-datagen|lumo-docgen)|\.built$' <<<"$contents"; then fail "build files in the package"; fi
"$(dirname "$0")/../../scripts/lint-package" "$deb" || fail "lintian"

[ "$(dpkg-deb -f "$deb" Package)" = lumo ] || fail "package name"
depends="$(dpkg-deb -f "$deb" Depends)"
for d in libqt6core6 libqt6widgets6 libhidapi-hidraw0 libusb-1.0-0 libudev1 libsqlite3-0 \
         libqt6sql6-sqlite fonts-noto-cjk fonts-wqy-microhei qt6-translations-l10n xdg-utils sensible-utils \
         postgresql-client; do
  grep -qE "(^|, )$d( |,|$)" <<<"$depends" || fail "Depends lacks $d: $depends"
done

if [ "$(id -u)" -eq 0 ]; then
  dpkg --dry-run -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg --dry-run -i"; }
else
  echo "note: not root, dpkg --dry-run -i not tried"
fi

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/lumo.desktop" || fail "the desktop entry"
data="$work/data"
QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/lumo-cli" --data-dir "$data" init || fail "the extracted lumo-cli could not prepare a data directory"
for f in lumo4.mdb lumoTW.mdb lumoMTW.mdb ZuDefTw.ini Data/CLh1.bmp; do
  [ -f "$data/$f" ] || fail "the installed layout did not deliver $f"
done
# What the installed program loads (libraries, Qt's plugins, fonts, translations) against the Depends.
python3 "$(dirname "$0")/check_loaded.py" "$deb" "$work/root" || fail "the dependencies against what the program loads"

echo "package $(basename "$deb"): contents, dependencies and installed layout as expected"
