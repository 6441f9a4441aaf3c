#!/usr/bin/env bash
# Checks a built korprog_VERSION_amd64.deb: its fields (Depends computed and
# filled), the files it holds, its manual pages (groff -ww), its programs as
# they come out of it (-help), an installation into a dpkg root of its own
# where an ordinary user programs a simulated unit with no other step, and
# that removing it leaves nothing behind. lintian, where installed, must
# find no errors.
#
#   tools/check-package.sh build-deb/korprog_2.22_amd64.deb
set -euo pipefail
deb=$(realpath "$1")
work=$(mktemp -d /tmp/korprog-deb.XXXXXX)
sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = korprog ] || fail "Package is not korprog"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is not amd64"
[ "$(basename "$deb")" = "korprog_$(field Version)_amd64.deb" ] || fail "file name does not match the version"
depends=$(field Depends)
for lib in libc6 libstdc++6 libfltk1.3 libx11-6; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: '$depends'"
done
[ -n "$(field Description)" ] || fail "no Description"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
for f in /usr/bin/korprog /usr/bin/korvansim \
  /usr/share/korprog/config.csv /usr/share/korprog/config.ini /usr/share/korprog/language.csv \
  /usr/share/korprog/Startup.html /usr/share/korprog/Startup_UK.html \
  /usr/share/korprog/TabRevPacks.html /usr/share/korprog/TabRevPacks_UK.html \
  /usr/share/korprog/Ombrix_KorProg.gif /usr/share/korprog/RevPacks/SwHwRestrictions.txt \
  /usr/share/applications/korprog.desktop /usr/share/bash-completion/completions/korprog \
  /usr/share/icons/hicolor/48x48/apps/korprog.png /usr/share/icons/hicolor/256x256/apps/korprog.png \
  /usr/share/man/man1/korprog.1.gz /usr/share/man/man1/korvansim.1.gz \
  /usr/share/doc/korprog/copyright /usr/share/doc/korprog/changelog.gz \
  /usr/share/doc/korprog/examples/99-korprog-modemmanager.rules; do
  grep -qx "$f" "$work/files" || fail "the package lacks $f"
done
# The desktop's files belong to the desktop, not to every user's directory.
if grep -q '^/usr/share/korprog/\(icons\|applications\)' "$work/files"; then fail "desktop files in /usr/share/korprog"; fi

dpkg-deb -x "$deb" "$work/x"
for page in korprog korvansim; do
  warnings=$(zcat "$work/x/usr/share/man/man1/$page.1.gz" | groff -ww -man -Tutf8 -z 2>&1)
  [ -z "$warnings" ] || fail "$page(1): $warnings"
done
"$work/x/usr/bin/korprog" -help | grep -q -- "-doctor" || fail "the packaged korprog does not run -help"
"$work/x/usr/bin/korvansim" --help | grep -q -- "--link" || fail "the packaged korvansim does not run --help"
completion=$work/x/usr/share/bash-completion/completions/korprog
bash -n "$completion" || fail "the bash completion does not parse"
grep -q -- "-program" "$completion" || fail "the bash completion lacks the options"

# Installed into a root of its own (no other package, hence --force-depends),
# as dpkg installs it.
root=$work/root admin=$work/admin
mkdir -p "$root" "$admin/info" "$admin/updates"
: >"$admin/status"
dpkgr() { dpkg --admindir="$admin" --instdir="$root" --force-depends --force-not-root --log=/dev/null "$@"; }
dpkgr -i "$deb" >/dev/null

# An ordinary user (nobody, when this runs as root) programs a simulated
# unit with the installed programs: they find their data and make the
# user's directory on their own.
chmod 755 "$work"
home=$work/home
mkdir -p "$home"
for k in $(seq 1 200); do
  case $k in 10) t=KV8888GM-ED ;; 20) t="     " ;; *) t="pakket $k" ;; esac
  case $k in 80 | 115 | 116) n="" ;; *) n=$((5550000 + k)) ;; esac
  printf '%s|%s\n' "$t" "$n"
done >"$home/klant.adn"
as_user=()
if [ "$(id -u)" = 0 ]; then
  chown -R nobody:nogroup "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
env -i PATH=/usr/bin:/bin HOME="$home" "${as_user[@]}" \
  "$root/usr/bin/korvansim" --link "$home/korvan0" --adn "$home/unit.adn" --image "$home/image.bin" \
  >"$home/sim.out" 2>"$home/sim.log" &
sim=$!
for _ in $(seq 1 100); do [ -e "$home/korvan0" ] && break; sleep 0.1; done
(cd "$home" && env -i PATH=/usr/bin:/bin HOME="$home" KORPROG_COMPORT="$home/korvan0" "${as_user[@]}" \
  "$root/usr/bin/korprog" -program klant.adn >"$home/run.out" 2>&1) ||
  { cat "$home/run.out"; fail "the installed korprog -program failed for an ordinary user"; }
cmp -s "$home/klant.adn" "$home/unit.adn" || fail "the unit does not hold the programmed settings"
[ -f "$home/.local/share/Ombrix/Korvan Tools/Programmer/config.csv" ] || fail "no user directory made from the defaults"
kill "$sim" 2>/dev/null || true
wait "$sim" 2>/dev/null || true
sim=""

# Removed, it leaves nothing: no file, no directory of its own, no state.
dpkgr -r korprog >/dev/null
left=$(find "$root" -mindepth 1 | head -5)
[ -z "$left" ] || fail "left behind after removal: $left"
if dpkgr -s korprog 2>/dev/null | grep -q '^Status: .* \(installed\|config-files\)$'; then
  fail "dpkg still knows korprog after removal"
fi

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" || fail "lintian found errors"
fi
echo "check-package: $(basename "$deb") holds what it should, installs, works and goes without a trace"
