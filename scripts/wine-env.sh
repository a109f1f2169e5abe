# Sourced by the project's scripts: quiet, non-interactive Wine, and the right
# loader for each architecture.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

# x64 or x86, from the PE header's machine field.
pe_arch() {
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
  if [ "$machine" = "8664" ]; then echo x64; else echo x86; fi
}

# /usr/bin/wine always starts the 32-bit loader first; 64-bit programs are
# started with the 64-bit loader directly, so they run where 32-bit Linux
# programs cannot.
wine_for() {
  local arch=$1; shift
  if [ "$arch" = x64 ]; then /usr/lib/wine/wine64 "$@"; else /usr/lib/wine/wine "$@"; fi
}

wine_boot() { /usr/lib/wine/wine64 wineboot -i; }
