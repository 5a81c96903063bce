# Sourced by the scripts that run Windows programs under Wine: no display, no
# questions asked, one prefix in the Windows build folder, one server for every
# run. Needs $win_build; sets WINEPREFIX and the rest, and defines wine_stop.
for tool in wine wineboot wineserver winepath; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing; run 'make deps'" >&2; exit 1; }
done
export WINEPREFIX="$win_build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
# Unix names and the command line reach Wine as UTF-8; its ANSI code page is
# then 1252, so a program that takes ANSI names loses Japanese ones.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "$0: making the Wine prefix $WINEPREFIX"
  mkdir -p "$win_build"
  wineboot -i </dev/null >/dev/null 2>&1 || true
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "$0: wineboot made no prefix" >&2; exit 1; }
fi
# One server for every run below, so that each start of a program is quick
# (the command fails when one is running already, which serves as well).
wineserver -p 2>/dev/null || true
wine_stop() { wineserver -k 2>/dev/null || true; }
