#!/usr/bin/env bash
# Cross-builds the converter for Windows and proves it under Wine, with no
# display and no questions asked:
#   1. the Win32 file layer's own checks (exclusive opens, modes, replacement,
#      a replacement interrupted by Ctrl+C, the converter refused a held input
#      or a held image), on Windows itself;
#   2. the end-to-end suite, run by the native test binary against the Windows
#      executable, with CR LF line ends expected on standard output;
#   3. the sample network converted by both builds, compared byte for byte.
# Build folders: build-win (Windows) and build-winhost (native test binary);
# the Wine prefix lives in build-win/wineprefix.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
win_build=$(realpath -m "${WIN_BUILD:-build-win}")
host_build=$(realpath -m "${WIN_HOST_BUILD:-build-winhost}")
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

for tool in x86_64-w64-mingw32-g++ wine wineboot wineserver winepath; do
  command -v "$tool" >/dev/null || { echo "windows-test: $tool is missing; run 'make deps'" >&2; exit 1; }
done

started=$SECONDS
cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DFENWA_TESTS=OFF >/dev/null
cmake --build "$win_build" -j "$jobs"
cmake -S . -B "$host_build" >/dev/null
host_targets=(fenwaimg fenwa_e2e_tests)
host_known=$(cmake --build "$host_build" --target help)
if grep -q '\<fenwamake\>' <<<"$host_known"; then host_targets+=(fenwamake); fi
cmake --build "$host_build" -j "$jobs" --target "${host_targets[@]}"

export WINEPREFIX="$win_build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "windows-test: making the Wine prefix $WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1 || true
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "windows-test: wineboot made no prefix" >&2; exit 1; }
fi
# One server for every run below, so that each start of the converter is quick
# (the command fails when one is running already, which serves as well).
wineserver -p 2>/dev/null || true
scratch=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT

exe="$win_build/fenwaimg.exe"
checks="$win_build/tests/windows/fenwa_windows_checks.exe"

echo "== Win32 file layer and converter checks, on Windows"
mkdir "$scratch/checks"
# On a terminal (script(1) makes one), so that the checks have a console to send Ctrl+C on;
# the console's own escape sequences are left out of the log.
(cd "$scratch/checks" &&
  script -qec "wine $(printf '%q' "$checks") $(printf '%q' "$(winepath -w "$exe")")" /dev/null </dev/null |
  sed 's/\x1b\[[0-9]*C/ /g; s/\x1b\[[?0-9;]*[a-zA-Z]//g; s/\r//g')

echo "== End-to-end suite against the Windows executable"
quoted_exe=$(printf "'%s'" "${exe//\'/\'\\\'\'}")
# Now and then, on a loaded machine, Wine fails to start a process at all (status
# 1, not a byte of output); a test that fails is therefore run once more, which
# lets no fault of the converter through: its runs are deterministic, so a real
# fault fails both times.
FENWA_CONVERTER="wine $quoted_exe" FENWA_EXPECT_CRLF=1 \
  ctest --test-dir "$host_build" -L e2e --output-on-failure -j "$jobs" --repeat until-pass:2

echo "== Sample network, both builds"
maker="$host_build/tools/fenwamake/fenwamake"
if [ -x "$maker" ] && [ -f examples/sample-network.json ]; then
  mkdir "$scratch/linux" "$scratch/windows"
  "$maker" examples/sample-network.json "$scratch/sample.dat"
  (cd "$scratch/linux" && "$host_build/fenwaimg" ../sample.dat >stdout)
  (cd "$scratch/windows" && wine "$exe" ../sample.dat >stdout)
  cmp "$scratch/linux/fenwaimg.pdb" "$scratch/windows/fenwaimg.pdb"
  sed 's/$/\r/' "$scratch/linux/stdout" | cmp - "$scratch/windows/stdout"
  echo "the same $(stat -c %s "$scratch/linux/fenwaimg.pdb")-byte image and the same console bytes with CR LF"
else
  echo "windows-test: fenwamake or examples/sample-network.json missing; the sample comparison did not run" >&2
  exit 1
fi
echo "windows-test: passed in $((SECONDS - started)) s"
