# Sourced by the project's scripts: installs what is missing and builds.
set -euo pipefail
VELTRANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$VELTRANE_ROOT/scripts/wine-env.sh"

VELTRANE_PACKAGES=(cmake make g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64
                   binutils-mingw-w64-i686 wine wine64 wine32:i386 xvfb xauth xdotool imagemagick)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
  local missing=()
  for package in "${VELTRANE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing ${missing[*]} …"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then as_root dpkg --add-architecture i386; fi
  as_root apt-get update -qq
  # With recommends: Wine's fonts and helpers come that way.
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Configures and builds one preset (x64 or x86); further arguments go to the
# build (--target veltrane: the program alone).
build_preset() {
  (cd "$VELTRANE_ROOT" && cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$(nproc)" "${@:2}")
}

# Fails when an executable needs a DLL that is not part of Windows itself.
check_static() {
  local exe=$1 dll objdump=x86_64-w64-mingw32-objdump dlls
  [ "$(pe_arch "$exe")" = x86 ] && objdump=i686-w64-mingw32-objdump
  dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p') || return 1
  [ -n "$dlls" ] || { echo "$exe: no imports found" >&2; return 1; }
  while read -r dll; do
    case "${dll,,}" in
      kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|oleaut32.dll|comctl32.dll|msvcrt.dll|comdlg32.dll|shlwapi.dll|uuid.dll|version.dll|xmllite.dll) ;;
      *) echo "$exe needs $dll, which is not a Windows system DLL" >&2; return 1 ;;
    esac
  done <<< "$dlls"
}

# True when a 32-bit test program runs under Wine here: the runner exits 2
# when its filter selects no case. Wine's 32-bit loader is a 32-bit Linux
# program, which some kernels (virtual machines without a 32-bit mode) cannot
# run at all.
x86_wine_works() {
  local probe="$VELTRANE_ROOT/build/x86/tests/registry_startup_list_test.exe"
  [ -f "$probe" ] || return 1
  timeout 120 bash "$VELTRANE_ROOT/tests/wine-run.sh" "$VELTRANE_ROOT/build/wine" "$probe" NoCaseHasThisName \
    >/dev/null 2>&1
  [ $? -eq 2 ]
}
