#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as a user would: the installed programs
# find their resources by themselves, read them from the installation and keep only what they
# write in each user's folder; a newer installation reaches the user at once with every setting
# kept; a user folder of the older kind (a whole copy of the installation) is tidied once; the
# desktop entry and AppStream data validate. Then the Debian package: built, its metadata and
# file list checked, and its programs run from the unpacked tree.
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
[[ -f "$USER_DIR/res/MouseVarn/MouseA/Config/MouseConfig.json" ]] || fail "no configuration document in the user folder"
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

# The first user again.
export HOME="$WORK/home1"
"$PREFIX/bin/zorctl" --virtual set power SleepTime=7 > /dev/null || fail "set power"
sleep_time() { "$PREFIX/bin/zorctl" --virtual --json get --profile 0 | grep -o '"SleepTime": [0-9]*'; }
[[ "$(sleep_time)" == '"SleepTime": 7' ]] || fail "power option not kept: $(sleep_time)"
ids() { "$PREFIX/bin/zorctl" feature | grep '^Profile ids'; }
ids_before=$(ids)
# The user's folder holds only what the programs wrote.
only_user_files() {
  local other
  other=$(cd "$USER_DIR" && find . -path ./changed-factory-files -prune -o -type f -print | grep -v -E '^\./(SeverVersion\.json|res/(Set\.ini|file_error\.txt|MacroVarn/MacroData/[^/]+|Home/Icons/[^/]+|MouseVarn/[^/]+/Config/(MouseConfig\.json.*|DeviceFeature\.ini|PopColor\.ini)))$' || true)
  [[ -z "$other" ]] || fail "$1: files that are not the user's in the user folder: $other"
}
only_user_files "first start"
[[ $(du -sk "$USER_DIR" | cut -f1) -lt 1024 ]] || fail "the user folder is large: $(du -sh "$USER_DIR")"

# An upgrade in place: a newer version file, a changed translation, a changed model description.
version_sent() { "$PREFIX/bin/zorctl" --json update-check 2> /dev/null | grep -o '"address": "[^"]*"'; }
sed -i -e 's/"version": "[^"]*"/"version": "0.2.0"/' -e 's|"update_url": "[^"]*"|"update_url": "http://127.0.0.1:9/"|' \
  "$PREFIX/share/zormouse/AutoUpdate/res/version/VersionInfo.json"
sed -i 's/"Left Click"/"Left Press"/' "$PREFIX/share/zormouse/res/MouseVarn/Language/LanguageText.json"
sed -i 's/^RemoteCustomVersion=.*/RemoteCustomVersion=ZOR-A-STD-0200/' "$PREFIX/share/zormouse/res/MouseVarn/MouseA/Config/DeviceFeature.ini"
echo '{}' > "$PREFIX/share/zormouse/res/MouseVarn/MouseA/Config/MouseConfig.json"
installed=$(sums)
[[ "$(version_sent)" == '"address": "http://127.0.0.1:9/zormouse/0.2.0"' ]] || fail "the update check sends $(version_sent)"
# (Output read whole before it is searched: grep -q would end the pipe early.)
[[ "$("$PREFIX/bin/zorctl" functions)" == *"Left Press"* ]] || fail "the changed translation does not show"
[[ "$("$PREFIX/bin/zorctl" feature)" == *"custom ZOR-A-STD-0200"* ]] || fail "the changed description is not used"
[[ "$(ids)" == "$ids_before" ]] || fail "the profile identifiers were lost: $(ids)"
[[ "$(gear1)" == '"label": "1600"' ]] || fail "an upgrade replaced the user's settings: $(gear1)"
[[ "$(sleep_time)" == '"SleepTime": 7' ]] || fail "an upgrade lost the power option: $(sleep_time)"
only_user_files "after the upgrade"
[[ "$(sums)" == "$installed" ]] || fail "the installation was written to after the upgrade"

# A user folder of the older kind: a whole copy of the installation with the user's values in it.
export HOME="$WORK/home4"
USER_DIR="$HOME/.local/share/zormouse"
mkdir -p "$USER_DIR"
cp -r "$PREFIX/share/zormouse/." "$USER_DIR/"
cp "$WORK/home1/.local/share/zormouse/res/MouseVarn/MouseA/Config/MouseConfig.json" "$USER_DIR/res/MouseVarn/MouseA/Config/"
sed -i 's/^SleepTime=.*/SleepTime=9/' "$USER_DIR/res/Set.ini"
sed -i 's/^Profile0=.*/Profile0=4321/' "$USER_DIR/res/MouseVarn/MouseA/Config/DeviceFeature.ini"
echo "; my own note" >> "$USER_DIR/res/Language/lan_en.ini"
"$PREFIX/bin/zorctl" --virtual --json get --profile 0 > /dev/null 2> "$WORK/migrate.log" || fail "zorctl on an old user folder"
[[ $(wc -l < "$WORK/migrate.log") -eq 1 ]] && grep -q 'kept 1 factory file you changed' "$WORK/migrate.log" \
  || fail "the tidying is not said in one line: $(cat "$WORK/migrate.log")"
[[ -f "$USER_DIR/changed-factory-files/res/Language/lan_en.ini" ]] || fail "the changed factory file was not kept"
[[ "$(sleep_time)" == '"SleepTime": 9' ]] || fail "the old folder's power option was lost: $(sleep_time)"
[[ "$(ids)" =~ ids\ +4321\  ]] || fail "the old folder's profile identifier was lost: $(ids)"
[[ "$("$PREFIX/bin/zorctl" functions)" == *"Left Press"* ]] || fail "the old folder hides the installation's translation"
only_user_files "after tidying"
sums_user() { (cd "$USER_DIR" && find . -type f -print0 | sort -z | xargs -0 md5sum); }
before=$(sums_user)
"$PREFIX/bin/zorctl" --virtual --json get --profile 0 > /dev/null 2> "$WORK/migrate2.log" || fail "second start"
[[ ! -s "$WORK/migrate2.log" ]] || fail "the second start said: $(cat "$WORK/migrate2.log")"
[[ "$(sums_user)" == "$before" ]] || fail "the second start changed the user folder"

# A program folder given with --home is one writable folder, as before.
HOME_DIR="$WORK/home-folder"
cp -r "$PREFIX/share/zormouse" "$HOME_DIR"
cp "$WORK/home1/.local/share/zormouse/res/MouseVarn/MouseA/Config/MouseConfig.json" "$HOME_DIR/res/MouseVarn/MouseA/Config/"
"$PREFIX/bin/zorctl" --home "$HOME_DIR" --virtual set power SleepTime=3 > /dev/null || fail "set power with --home"
grep -q '^SleepTime=3' "$HOME_DIR/res/Set.ini" || fail "--home: Set.ini not written in the program folder"
[[ "$("$PREFIX/bin/zorctl" --home "$HOME_DIR" --virtual --json get --profile 0)" == *'"SleepTime": 3'* ]] \
  || fail "--home: value not read back"
export HOME="$WORK/home1"

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
