#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as a user would: the installed programs
# find their resources by themselves, each user's folder is seeded from the factory copy, settings
# land in the user's folder only, a newer installation adds its new files without replacing the
# user's, and the desktop entry and AppStream data validate. Then the Debian package: built,
# its metadata and file list checked, and its programs run from the unpacked tree.
set -euo pipefail
BUILD=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
PREFIX="$WORK/prefix"

cmake --install "$BUILD" --prefix "$PREFIX" > "$WORK/install.log" || fail "cmake --install failed"
for f in bin/zormouse bin/zorctl lib/zormouse/libzoreffects.so share/zormouse/res/Set.ini \
         share/zormouse/res/Home/Icons/Ndevice.zip share/zormouse/res_black/MainWnd.xml \
         share/zormouse/res_white/MainWnd.xml share/applications/zormouse.desktop \
         share/metainfo/zormouse.metainfo.xml share/icons/hicolor/scalable/apps/zormouse.svg \
         share/icons/hicolor/48x48/apps/zormouse.png share/man/man1/zorctl.1.gz share/man/man1/zormouse.1.gz share/doc/zormouse/copyright \
         lib/udev/rules.d/70-zormouse.rules; do
  [[ -e "$PREFIX/$f" ]] || fail "not installed: $f"
done
desktop-file-validate "$PREFIX/share/applications/zormouse.desktop" || fail "desktop entry does not validate"
appstreamcli validate --no-net --pedantic "$PREFIX/share/metainfo/zormouse.metainfo.xml" > "$WORK/as.log" 2>&1 \
  || appstreamcli validate --no-net "$PREFIX/share/metainfo/zormouse.metainfo.xml" || fail "metainfo: $(cat "$WORK/as.log")"

sums() { (cd "$PREFIX" && find . -type f -print0 | sort -z | xargs -0 md5sum); }
installed=$(sums)

# A first user: a fresh home, no program folder given.
export HOME="$WORK/home1"
unset XDG_DATA_HOME ZOR_HOME
mkdir -p "$HOME"
USER_DIR="$HOME/.local/share/zormouse"
"$PREFIX/bin/zorctl" --version | grep -q '^zorctl ' || fail "zorctl --version"
"$PREFIX/bin/zorctl" --virtual --json get --profile 0 > "$WORK/get.json" || fail "zorctl get from the installation"
[[ -f "$USER_DIR/res/MouseVarn/MouseA/Config/MouseConfig.json" ]] || fail "user folder not seeded"
gear1() { "$PREFIX/bin/zorctl" --virtual --json get --profile 0 | grep -A1 '"gear": 1,' | grep -o '"label": "[0-9]*"'; }
[[ "$(gear1)" == '"label": "800"' ]] || fail "unexpected factory value of gear 1: $(gear1)"
"$PREFIX/bin/zorctl" --virtual set dpi --profile 0 --gear 1 --value 1600 > /dev/null || fail "set dpi"
[[ "$(gear1)" == '"label": "1600"' ]] || fail "setting not kept in the user folder"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$WORK" timeout 60 "$PREFIX/bin/zormouse" --virtual \
  --screenshot "$WORK/shot.png" > "$WORK/gui.log" 2>&1 || fail "zormouse from the installation: $(cat "$WORK/gui.log")"
[[ -s "$WORK/shot.png" ]] || fail "no screenshot"
[[ "$(sums)" == "$installed" ]] || fail "the installation was written to"

# A second user has settings of their own.
export HOME="$WORK/home2"
mkdir -p "$HOME"
[[ "$(gear1)" == '"label": "800"' ]] || fail "the second user sees another user's setting: $(gear1)"

# A newer installation: a new factory file arrives in the user's folder, a changed one does not
# replace the user's copy.
export HOME="$WORK/home1"
echo "new" > "$PREFIX/share/zormouse/res/NewFactoryFile.txt"
echo '{}' > "$PREFIX/share/zormouse/res/MouseVarn/MouseA/Config/MouseConfig.json"
[[ "$(gear1)" == '"label": "1600"' ]] || fail "an upgrade replaced the user's settings"
[[ -f "$USER_DIR/res/NewFactoryFile.txt" ]] || fail "a new factory file did not reach the user folder"

# The Debian package.
cmake --build "$BUILD" --target package > "$WORK/package.log" 2>&1 || fail "package: $(tail -20 "$WORK/package.log")"
DEB=$(ls -t "$BUILD"/zormouse_*.deb | head -1)
dpkg-deb -I "$DEB" > "$WORK/info" || fail "dpkg-deb -I"
grep -q '^ Package: zormouse' "$WORK/info" || fail "package name"
grep -q '^ Depends:.*libqt6widgets6' "$WORK/info" || fail "dependencies not read off the libraries: $(cat "$WORK/info")"
grep -q '^ Depends:.*libhidapi-hidraw0' "$WORK/info" || fail "hidapi dependency missing"
# Opened at run time, so named by hand: a package without them could not download or decrypt.
grep -q '^ Depends:.*libcurl4' "$WORK/info" || fail "libcurl dependency missing"
grep -q '^ Depends:.*libssl3' "$WORK/info" || fail "libcrypto dependency missing"
grep -q 'postinst' "$WORK/info" || fail "no postinst"
dpkg-deb -c "$DEB" > "$WORK/list"
for f in ./usr/bin/zormouse ./usr/bin/zorctl ./usr/share/applications/zormouse.desktop \
         ./usr/share/zormouse/res/Set.ini ./usr/lib/udev/rules.d/70-zormouse.rules; do
  grep -q " $f\$" "$WORK/list" || fail "not in the package: $f"
done
ROOT="$WORK/root"
dpkg-deb -x "$DEB" "$ROOT"
export HOME="$WORK/home3"
mkdir -p "$HOME"
"$ROOT/usr/bin/zorctl" --virtual --json get --profile 0 > /dev/null || fail "zorctl from the unpacked package"
echo "install: all checks passed"
