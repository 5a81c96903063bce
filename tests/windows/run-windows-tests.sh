#!/usr/bin/env bash
# Cross-builds the converter and the companion tools for Windows and proves
# them under Wine, with no display and no questions asked:
#   1. the Win32 file layer's own checks (exclusive opens, modes, replacement,
#      a replacement interrupted by Ctrl+C, the converter refused a held input
#      or a held image), on Windows itself;
#   2. the end-to-end suite, run by the native test binary against the Windows
#      executable, with CR LF line ends expected on standard output;
#   3. the companion tools' suite against fenwamake.exe and fenwadump.exe (the
#      sample's dump, the round trips, the refusals, files named in Japanese);
#   4. the code page 932 tables of both builds, compared byte for byte;
#   5. the sample network made, converted and dumped by both builds, compared
#      byte for byte.
# Build folders: build-win (Windows) and build (the native Release build, whose
# test binaries run the Windows programs); the Wine prefix lives in
# build-win/wineprefix.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
win_build=$(realpath -m "${WIN_BUILD:-build-win}")
host_build=$(realpath -m "${WIN_HOST_BUILD:-build}")
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

command -v x86_64-w64-mingw32-g++ >/dev/null || { echo "windows-test: MinGW-w64 is missing; run 'make deps'" >&2; exit 1; }

started=$SECONDS
cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DFENWA_TESTS=OFF >/dev/null
cmake --build "$win_build" -j "$jobs"
cmake -S . -B "$host_build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$host_build" -j "$jobs" \
  --target fenwaimg fenwamake fenwadump fenwa_e2e_tests fenwa_tool_tests fenwa_text_tables

source tests/windows/wine-env.sh
scratch=$(mktemp -d)
trap 'wine_stop; rm -rf "$scratch"' EXIT

quote() { printf "'%s'" "${1//\'/\'\\\'\'}"; }  # for the shell the tests run programs with
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
# Now and then, on a loaded machine, Wine fails to start a process at all (status
# 1, not a byte of output); a test that fails is therefore run once more, which
# lets no fault of the converter through: its runs are deterministic, so a real
# fault fails both times.
FENWA_CONVERTER="wine $(quote "$exe")" FENWA_EXPECT_CRLF=1 \
  ctest --test-dir "$host_build" -L e2e --output-on-failure -j "$jobs" --repeat until-pass:2

echo "== Companion tools' suite against the Windows programs"
maker="$win_build/tools/fenwamake/fenwamake.exe"
dumper="$win_build/tools/fenwadump/fenwadump.exe"
in_process='EveryTruncation|RandomDamage'  # tests of the reader in-process, which run the same natively
FENWA_CONVERTER="wine $(quote "$exe")" FENWA_FENWAMAKE="wine $(quote "$maker")" \
  FENWA_FENWADUMP="wine $(quote "$dumper")" \
  ctest --test-dir "$host_build" -L tools -E "$in_process" --output-on-failure -j "$jobs" --repeat until-pass:2

echo "== Code page 932 tables, both builds"
"$host_build/tests/windows/fenwa_text_tables" >"$scratch/tables-linux.txt"
wine "$win_build/tests/windows/fenwa_text_tables.exe" </dev/null >"$scratch/tables-windows.txt"
if ! cmp "$scratch/tables-linux.txt" "$scratch/tables-windows.txt"; then
  diff "$scratch/tables-linux.txt" "$scratch/tables-windows.txt" | head -40 >&2 || true
  exit 1
fi
echo "the same tables: 65792 byte sequences decoded, $(grep -c '^encode' "$scratch/tables-linux.txt") code points" \
  "encoded, the rest $(tail -1 "$scratch/tables-linux.txt")"

echo "== Sample network, both builds"
mkdir "$scratch/linux" "$scratch/windows"
(cd "$scratch/linux" && "$host_build/tools/fenwamake/fenwamake" "$root/examples/sample-network.json" sample.dat &&
  "$host_build/fenwaimg" sample.dat >stdout &&
  "$host_build/tools/fenwadump/fenwadump" sample.dat >sample.json &&
  "$host_build/tools/fenwadump/fenwadump" fenwaimg.pdb >fenwaimg.json)
(cd "$scratch/windows" && cp "$root/examples/sample-network.json" . &&
  wine "$maker" sample-network.json sample.dat </dev/null &&
  wine "$exe" sample.dat </dev/null >stdout &&
  wine "$dumper" sample.dat </dev/null >sample.json &&
  wine "$dumper" fenwaimg.pdb </dev/null >fenwaimg.json)
for file in sample.dat fenwaimg.pdb sample.json fenwaimg.json; do
  cmp "$scratch/linux/$file" "$scratch/windows/$file"
done
sed 's/$/\r/' "$scratch/linux/stdout" | cmp - "$scratch/windows/stdout"
echo "the same $(stat -c %s "$scratch/linux/sample.dat")-byte intermediate file, $(stat -c %s "$scratch/linux/fenwaimg.pdb")-byte image" \
  "and JSON of both, and the same console bytes with CR LF"
echo "windows-test: passed in $((SECONDS - started)) s"
