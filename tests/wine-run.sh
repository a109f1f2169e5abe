#!/usr/bin/env bash
# Runs one Windows test program under Wine in a throwaway prefix.
#   wine-run.sh WINE_ROOT PROGRAM.exe [ARGS...]
# WINE_ROOT/base is initialised once (headless: Wine's null graphics driver) and
# every run gets its own copy of it, so tests never see each other's registry or
# files, nor the user's own prefix.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$1; shift
program=$1; shift

source "$here/../scripts/wine-env.sh"
# Wine's desktop integration runs after every saved shortcut; tests need none of it.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$root"
base=$root/base

init_base() {
  rm -rf "$base"
  WINEPREFIX=$base wine_boot >/dev/null 2>&1 || return 1
  WINEPREFIX=$base wine_for x64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || return 1
  WINEPREFIX=$base wineserver -w
  touch "$base/.ready"
}

(
  flock 9
  [ -f "$base/.ready" ] || init_base || { echo "wine-run: cannot initialise $base" >&2; exit 1; }
) 9>"$root/.init.lock" || exit 1

prefix=$(mktemp -d "$root/run.XXXXXX")
cleanup() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  rm -rf "$prefix"
}
trap cleanup EXIT

# Hard links make the copy instant; Wine rewrites the registry files in place,
# so those three are real copies.
cp -al "$base/." "$prefix/"
cp --remove-destination "$base/system.reg" "$base/user.reg" "$base/userdef.reg" "$prefix/"

export VELTRANE_TEST_PREFIX=$prefix
WINEPREFIX=$prefix wine_for "$(pe_arch "$program")" "$program" "$@"
status=$?
WINEPREFIX=$prefix wineserver -w
exit $status
