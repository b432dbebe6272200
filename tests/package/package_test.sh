#!/usr/bin/env bash
# Builds the Debian package from a finished build, unpacks it into a scratch
# root and uses what it installs: both programs, the desktop entry, the MIME
# package, the metainfo, the manual pages and the icons.
#
#   package_test.sh BUILD_DIR SCRATCH_DIR VERSION
set -euo pipefail

build=$1
scratch=$2
version=$3

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
step() { echo "== $*"; }

rm -rf "$scratch"
mkdir -p "$scratch"

step "cpack"
if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  echo "FAIL: cpack did not build the package" >&2
  exit 1
fi
deb="$scratch/out/aurisona_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls -l "$scratch/out" >&2; echo "FAIL: no $deb" >&2; exit 1; }

step "control fields"
[ "$(dpkg-deb -f "$deb" Package)" = aurisona ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Named by hand (run time data and plugins) and found by dpkg-shlibdeps.
for p in espeak-ng-data libflite1 festival festvox-us-slt-hts fonts-noto-cjk libasound2-plugins \
         libqt6widgets6 libmp3lame0 libmpg123-0 libsndfile1 libportaudio2 libespeak-ng1 libc6; do
  grep -Eq "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p"
done

step "unpack"
# Outside the build folder: a program there would find the build's resources.
root=$(mktemp -d "${TMPDIR:-/tmp}/aurisona-package.XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/aurisona usr/bin/aurisona-cli \
         usr/share/aurisona/aurisona.rcc \
         usr/share/applications/aurisona.desktop \
         usr/share/mime/packages/aurisona.xml \
         usr/share/metainfo/org.aurisona.Aurisona.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/aurisona.svg \
         usr/share/man/man1/aurisona.1.gz usr/share/man/man1/aurisona-cli.1.gz \
         usr/share/doc/aurisona/copyright usr/share/doc/aurisona/changelog.gz \
         usr/share/doc/aurisona/examples/sample.txt usr/libexec/aurisona/aurisona-festival \
         usr/libexec/aurisona/aurisona-speech; do
  [ -f "$root/$f" ] || fail "missing /$f"
done
for size in 16 22 24 32 48 64 128 256; do
  png="$root/usr/share/icons/hicolor/${size}x${size}/apps/aurisona.png"
  if [ ! -f "$png" ]; then
    fail "missing ${size}x${size} icon"
    continue
  fi
  # PNG signature, then the IHDR chunk's width and height (big-endian).
  header=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
  expect=$(printf '%08x%08x' "$size" "$size")
  [ "${header:0:16}" = 89504e470d0a1a0a ] || fail "${size}x${size} icon is not a PNG"
  [ "${header:32:16}" = "$expect" ] || fail "${size}x${size} icon has the wrong size (${header:32:16})"
done
# Nothing outside /usr, no build paths in the file names.
outside=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || fail "files outside /usr: $outside"

step "aurisona-cli from the unpacked root"
cli="$root/usr/bin/aurisona-cli"
out=$("$cli" --version) || fail "aurisona-cli --version failed"
[ "$out" = "aurisona-cli $version" ] || fail "aurisona-cli --version printed '$out'"
data="$scratch/data"
"$cli" voices --data-dir "$data" >"$scratch/voices.jsonl" || fail "aurisona-cli voices failed"
grep -q '"name":' "$scratch/voices.jsonl" || fail "aurisona-cli voices listed no voice"
grep -q '"language":"804"' "$scratch/voices.jsonl" || fail "no Mandarin voice listed"
grep -q '"display":"Festival' "$scratch/voices.jsonl" || fail "no Festival voice listed"
segments=$("$cli" compile "$root/usr/share/doc/aurisona/examples/sample.txt" --data-dir "$data" | grep -c '"kind":') ||
  fail "aurisona-cli compile of the packaged sample failed"
[ "${segments:-0}" -gt 20 ] || fail "the packaged sample compiles to only ${segments:-0} segments"
printf '<男>Good morning, class.<暂停1秒><女>Listen to the dialogue.\n' >"$scratch/short.txt"
if "$cli" render "$scratch/short.txt" -o "$scratch/short.mp3" --quiet --data-dir "$data"; then
  # Decoded by an independent decoder: 16-bit stereo at 44100 Hz, longer
  # than the one-second pause alone.
  bytes=$(mpg123 -q -s "$scratch/short.mp3" 2>/dev/null | wc -c)
  echo "decoded PCM bytes: $bytes"
  [ "$bytes" -gt $((44100 * 4 * 2)) ] || fail "rendered MP3 is too short ($bytes PCM bytes)"
else
  fail "aurisona-cli render failed"
fi

step "aurisona from the unpacked root"
app="$root/usr/bin/aurisona"
out=$("$app" --version) || fail "aurisona --version failed"
[ "$out" = "aurisona $version" ] || fail "aurisona --version printed '$out'"
run_app() {
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen HOME="$scratch/home" \
    XDG_DATA_HOME="$scratch/home/share" "$@"
}
# Starts the application as the menu entry does, waits until it has made its
# data folder (which it does once its resources are registered) and then for
# $2 (or three seconds), and ends it. $1: the XDG_DATA_DIRS it sees. Fails,
# naming $3, when the program does not keep running.
start_app() {
  rm -rf "$scratch/home"
  XDG_DATA_DIRS="$1" QT_QPA_PLATFORM=offscreen HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/share" \
    env -u DISPLAY -u WAYLAND_DISPLAY "$app" >"$scratch/app.log" 2>&1 &
  local pid=$! waited=0
  local want="${2:-$scratch/home/share/aurisona/Sound/ding.wav}"
  while [ ! -f "$want" ] && kill -0 "$pid" 2>/dev/null && [ $waited -lt 600 ]; do
    sleep 0.2
    waited=$((waited + 1))
  done
  [ -n "${2:-}" ] || sleep 3
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    return 0
  fi
  wait "$pid" 2>/dev/null || true
  cat "$scratch/app.log" >&2
  fail "aurisona $3 did not keep running"
  return 1
}
user_entry="$scratch/home/share/applications/aurisona.desktop"
user_mime="$scratch/home/share/mime/packages/aurisona.xml"
# The unpacked root is an installation the desktop sees: nothing is written
# into the user's folders.
if start_app "$root/usr/share:/usr/share" "" "from the unpacked root"; then
  [ -d "$scratch/home/share/aurisona/Music" ] || fail "no data folder made"
  [ ! -e "$user_entry" ] && [ ! -e "$user_mime" ] || fail "an installed program registered itself for the user"
fi
# An installation the desktop does not see registers for the user.
if start_app "/usr/local/share:/usr/share" "$user_entry" "outside the data folders"; then
  grep -qxF "Exec=$app %f" "$user_entry" || fail "no user registration for an installation outside the data folders"
fi
# A portable folder: the program, its resource file and a setup.ini in one
# folder, which is then also the data directory.
saved_app=$app
portable="$root/portable"
mkdir -p "$portable"
cp "$root/usr/bin/aurisona" "$root/usr/share/aurisona/aurisona.rcc" "$portable/"
: >"$portable/setup.ini"
app="$portable/aurisona"
if start_app "/usr/local/share:/usr/share" "$portable/Sound/ding.wav" "from a portable folder"; then
  [ -d "$portable/Music" ] || fail "the portable folder is not the data directory"
fi
app=$saved_app
# A broken installation ($1) says so in one message on standard error that
# names the resource file, and waits in its message box (ended here by the
# timeout); it creates nothing.
broken_app() {
  rm -rf "$scratch/home"
  local status=0
  run_app timeout 10 "$app" >"$scratch/broken.log" 2>&1 || status=$?
  cat "$scratch/broken.log"
  [ "$status" -eq 124 ] || fail "$1 gave status $status, not the message box"
  grep -qF "$root/usr/share/aurisona/aurisona.rcc" "$scratch/broken.log" || fail "the message for $1 does not name the file"
  [ "$(grep -c 'aurisona:' "$scratch/broken.log")" -eq 1 ] || fail "more than one message for $1"
  [ ! -e "$scratch/home/share/aurisona" ] || fail "$1 still made its data folder"
}
mv "$root/usr/share/aurisona" "$root/usr/share/aurisona.away"
broken_app "a missing resource folder"
mv "$root/usr/share/aurisona.away" "$root/usr/share/aurisona"
cp "$root/usr/share/aurisona/aurisona.rcc" "$scratch/aurisona.rcc.good"
printf 'not a resource file' >"$root/usr/share/aurisona/aurisona.rcc"
broken_app "a damaged resource file"
grep -qF "已损坏" "$scratch/broken.log" || fail "the message does not call the resource file damaged"
cp "$scratch/aurisona.rcc.good" "$root/usr/share/aurisona/aurisona.rcc"

step "desktop entry, MIME package, metainfo"
desktop="$root/usr/share/applications/aurisona.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Exec=aurisona %f' "$desktop" || fail "desktop entry does not run aurisona %f"
grep -qx 'MimeType=application/x-aurisona-lsn;' "$desktop" || fail "desktop entry lacks the MIME type"
xmllint --noout "$root/usr/share/mime/packages/aurisona.xml" || fail "MIME package is not well-formed XML"
mkdir -p "$scratch/mime"
cp -r "$root/usr/share/mime/packages" "$scratch/mime/"
update-mime-database "$scratch/mime" || fail "update-mime-database"
grep -q '^application/x-aurisona-lsn:\*\.lsn$' "$scratch/mime/globs" || fail "*.lsn is not in the MIME globs"
grep -q 'application/x-aurisona-lsn' "$scratch/mime/magic" 2>/dev/null || grep -aq 'x-aurisona-lsn' "$scratch/mime/magic" ||
  fail "the MIME magic lacks the document type"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.aurisona.Aurisona.metainfo.xml" || fail "appstreamcli validate"

step "manual pages"
for page in aurisona aurisona-cli; do
  gz="$root/usr/share/man/man1/$page.1.gz"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$gz" 2>&1 >"$scratch/$page.txt") || fail "man $page failed"
  [ -z "$warnings" ] || fail "man $page: $warnings"
  grep -q "$version" "$scratch/$page.txt" || fail "man $page does not name version $version"
done
grep -q -- '--data-dir' "$scratch/aurisona-cli.txt" || fail "aurisona-cli(1) lacks --data-dir"

step "lintian"
if lintian --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1; then :; fi
cat "$scratch/lintian.log"
# No errors; the warnings left are the ones the README explains.
if grep -q '^E: ' "$scratch/lintian.log"; then fail "lintian reports errors"; fi
allowed='^W: aurisona: (no-manual-page-placeholder)'
unexpected=$(grep '^W: ' "$scratch/lintian.log" | grep -Ev "$allowed" || true)
[ -z "$unexpected" ] || fail "lintian warnings not accounted for: $unexpected"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package $deb: all checks passed"
