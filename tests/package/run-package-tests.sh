#!/usr/bin/env bash
# Proves the packages `make package` made, as people install them:
#   1. the Debian package unpacked into a scratch root (dpkg-deb -x): its files,
#      its stated dependencies and recommendations, its files dated the last
#      commit, and its programs run from there on the sample network it carries
#      (the image's dump must be the committed one);
#   2. its three manual pages rendered by man -l with no warning, each dated
#      the changelog's latest entry;
#   3. lintian on it, when installed: no error and no warning;
#   4. the Windows zip unpacked, its files, and its three programs run under
#      Wine on the same sample, giving the same files, JSON and console bytes
#      (with CR LF) as the Debian package's programs;
#   5. the web page's zip unpacked: its files, the page's as `make web` built them;
#   6. all three packages made again from the same builds, with another umask
#      and time zone: the same bytes.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
linux_build=$(realpath -m "${BUILD:-build}")
win_build=$(realpath -m "${WIN_BUILD:-build-win}")
web_build=$(realpath -m "${WEB_BUILD:-build-web}")
packages=$(realpath -m "${PACKAGE_DIR:-$linux_build/packages}")
started=$SECONDS

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$linux_build/CMakeCache.txt" 2>/dev/null || true)
deb="$packages/fenwaimg_${version}_amd64.deb"
zip="$packages/fenwaimg-${version}-win64.zip"
web="$packages/fenwaimg-${version}-web.zip"
for file in "$deb" "$zip" "$web"; do
  [ -n "$version" ] && [ -f "$file" ] || { echo "package-test: $file is missing; run 'make package'" >&2; exit 1; }
done
scratch=$(mktemp -d)
cleanup() { rm -rf "$scratch"; }
trap cleanup EXIT
fail() { echo "package-test: $*" >&2; exit 1; }

# What both kinds of build print for the sample: the converter's Shift_JIS lines.
expected_console() {
  printf 'fn=sample.datP\nfn=fenwaimg.pdbP\nFenwaimg.pdb \x82\xaa\x8d\xec\x90\xac\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd\n'
}

echo "== $(basename "$deb") ($(stat -c %s "$deb") bytes), unpacked"
dpkg-deb -x "$deb" "$scratch/deb"
(cd "$scratch/deb" && find . -type f | sort) >"$scratch/deb-files"
diff -u - "$scratch/deb-files" <<'LIST' || fail "the Debian package holds other files than these"
./usr/bin/fenwadump
./usr/bin/fenwaimg
./usr/bin/fenwamake
./usr/share/doc/fenwaimg/README.md
./usr/share/doc/fenwaimg/changelog.gz
./usr/share/doc/fenwaimg/copyright
./usr/share/doc/fenwaimg/network.schema.json
./usr/share/doc/fenwaimg/sample-network.json
./usr/share/lintian/overrides/fenwaimg
./usr/share/man/man1/fenwadump.1.gz
./usr/share/man/man1/fenwaimg.1.gz
./usr/share/man/man1/fenwamake.1.gz
LIST
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6; do
  grep -q "\<$library (>= " <<<"$depends" || fail "Depends does not name $library: $depends"
done
echo "Depends: $depends"
# fenwadump --dot | dot: Graphviz, and a font for the Japanese names.
recommends=$(dpkg-deb -f "$deb" Recommends)
for package in graphviz fonts-ipafont-gothic; do
  grep -q "\<$package\>" <<<"$recommends" || fail "Recommends does not name $package: $recommends"
done
echo "Recommends: $recommends"
# Dated as packaging/source-date.cmake dates them: the last commit, when there is one.
commit_time=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || true)}
if [ -n "$commit_time" ]; then
  [ "$(stat -c %Y "$scratch/deb/usr/bin/fenwaimg")" = "$commit_time" ] ||
    fail "the package's files are not dated $(date -u -d "@$commit_time"), the last commit"
fi
bin="$scratch/deb/usr/bin"
doc="$scratch/deb/usr/share/doc/fenwaimg"
for tool in fenwamake fenwadump; do
  [ "$("$bin/$tool" --version)" = "$tool (fenwaimg) $version" ] || fail "$tool --version does not print $version"
done
mkdir "$scratch/linux"
(cd "$scratch/linux" && "$bin/fenwamake" "$doc/sample-network.json" sample.dat &&
  "$bin/fenwaimg" sample.dat >stdout && "$bin/fenwadump" sample.dat >sample.json &&
  "$bin/fenwadump" fenwaimg.pdb >fenwaimg.json) || fail "a program of the Debian package failed on the sample"
expected_console | cmp - "$scratch/linux/stdout" || fail "fenwaimg printed other bytes"
cmp "$scratch/linux/fenwaimg.json" tests/tools/expected/sample-dump.json ||
  fail "the image's dump differs from tests/tools/expected/sample-dump.json"
echo "the package's programs made, converted and dumped the sample; the dump is the committed one"

echo "== Manual pages, man -l"
# The date of the changelog's latest entry as written ("Tue, 08 Dec 2026 ..."), as an ISO date.
written=$(sed -n 's/^ -- .*>  [A-Z][a-z][a-z], \([0-9]\{1,2\} [A-Z][a-z][a-z] [0-9]\{4\}\) .*/\1/p' packaging/changelog |
  head -n 1)
release=$(date -d "$written" +%F) || fail "packaging/changelog: no date in the latest entry's signature line"
for page in "$scratch/deb/usr/share/man/man1/"*.1.gz; do
  name=$(basename "$page" .1.gz)
  dated=$(zcat "$page" | sed -n 's/^\.TH [^ ]* [^ ]* "\([^"]*\)".*/\1/p')
  [[ $dated =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}$ ]] && [ "$(date -d "$dated" +%F 2>/dev/null)" = "$dated" ] ||
    fail "$name(1) is dated '$dated', not a date YYYY-MM-DD"
  [ "$dated" = "$release" ] || fail "$name(1) is dated $dated, the changelog's latest entry $release"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$scratch/$name.txt") || fail "man -l $name failed"
  [ -z "$warnings" ] || fail "man -l $name warns: $warnings"
  grep -q "^NAME" "$scratch/$name.txt" && grep -q "fenwaimg $version" "$scratch/$name.txt" ||
    fail "$name(1) renders without its NAME section or the version $version"
  echo "$name(1): $(wc -l <"$scratch/$name.txt") lines, no warnings, dated $dated"
done

echo "== lintian"
if command -v lintian >/dev/null; then
  # Errors and warnings fail; information and overridden tags are shown, the
  # overrides with their reasons.
  findings=$(lintian --fail-on none --display-info --show-overrides "$deb" 2>&1) || fail "lintian did not run: $findings"
  grep -v '^running with root' <<<"$findings" || true
  ! grep -q '^[EW]: ' <<<"$findings" || fail "lintian found errors or warnings"
  echo "lintian: no errors, no warnings"
else
  echo "lintian is not installed; skipped ('make deps' installs it)"
fi

echo "== $(basename "$zip") ($(stat -c %s "$zip") bytes), under Wine"
mkdir "$scratch/zip"
(cd "$scratch/zip" && cmake -E tar xf "$zip")
folder="$scratch/zip/fenwaimg-$version-win64"
(cd "$folder" && find . -type f | sort) >"$scratch/zip-files"
diff -u - "$scratch/zip-files" <<'LIST' || fail "the zip holds other files than these"
./README.md
./WINDOWS.txt
./fenwadump.exe
./fenwaimg.exe
./fenwamake.exe
./network.schema.json
./sample-network.json
LIST
[ -s "$folder/WINDOWS.txt" ] && ! grep -qv $'\r$' "$folder/WINDOWS.txt" || fail "WINDOWS.txt has a line without CR LF"
for exe in "$folder"/*.exe; do
  # Only DLLs every Windows has: no runtime of the compiler to ship.
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')
  for dll in $dlls; do
    case "${dll,,}" in kernel32.dll | msvcrt.dll | shell32.dll | user32.dll | advapi32.dll) ;;
      *) fail "$(basename "$exe") needs $dll" ;;
    esac
  done
  echo "$(basename "$exe"): $(stat -c %s "$exe") bytes, uses $dlls"
done
source tests/windows/wine-env.sh
cleanup() { wine_stop; rm -rf "$scratch"; }
for tool in fenwamake fenwadump; do
  printed=$(wine "$folder/$tool.exe" --version </dev/null)
  [ "$printed" = "$tool (fenwaimg) $version" ] || fail "$tool.exe --version prints '$printed'"
done
mkdir "$scratch/windows"
(cd "$scratch/windows" && cp "$folder/sample-network.json" . &&
  wine "$folder/fenwamake.exe" sample-network.json sample.dat </dev/null &&
  wine "$folder/fenwaimg.exe" sample.dat </dev/null >stdout &&
  wine "$folder/fenwadump.exe" sample.dat </dev/null >sample.json &&
  wine "$folder/fenwadump.exe" fenwaimg.pdb </dev/null >fenwaimg.json) || fail "a program of the zip failed on the sample"
for file in sample.dat fenwaimg.pdb sample.json fenwaimg.json; do
  cmp "$scratch/linux/$file" "$scratch/windows/$file" || fail "$file differs between the two packages' programs"
done
expected_console | sed 's/$/\r/' | cmp - "$scratch/windows/stdout" || fail "fenwaimg.exe printed other bytes"
echo "the zip's programs gave the same intermediate file, image and JSON as the Debian package's, and the same" \
  "console bytes with CR LF"

echo "== $(basename "$web") ($(stat -c %s "$web") bytes), unpacked"
mkdir "$scratch/web"
(cd "$scratch/web" && cmake -E tar xf "$web")
(cd "$scratch/web" && find . -type f | sort) >"$scratch/web-files"
sed "s|^|./fenwaimg-$version-web/|" <<'LIST' | diff -u - "$scratch/web-files" || fail "the web zip holds other files than these"
README.md
fenwa.js
index.html
network.schema.json
page.css
page.js
sample-network.json
viz-global.js
LIST
for file in index.html page.js page.css fenwa.js viz-global.js; do
  cmp "$web_build/page/$file" "$scratch/web/fenwaimg-$version-web/$file" || fail "the web zip's $file is not the page's"
done
echo "the web zip holds the page as make web built it"

echo "== All three packages again, byte for byte"
# CPack once more from the same build, where the clock has moved on, with a
# umask that would keep folders from others and a time zone far from UTC.
package_again() {
  local build=$1 first=$2 again="$scratch/again/$(basename "$2")"
  (cd "$build" && umask 077 && TZ=Asia/Tokyo cpack -B "$scratch/again" >/dev/null) || fail "cpack failed in $build"
  cmp "$first" "$again" || fail "$(basename "$first") made again differs from the first"
  echo "$(basename "$first"): the same bytes again, sha256 $(sha256sum <"$again" | cut -d ' ' -f 1)"
}
package_again "$linux_build" "$deb"
package_again "$win_build" "$zip"
(umask 077 && TZ=Asia/Tokyo bash packaging/web-package.sh "$web_build" "$linux_build" "$scratch/again") ||
  fail "the web zip could not be made again"
cmp "$web" "$scratch/again/$(basename "$web")" || fail "$(basename "$web") made again differs from the first"
echo "$(basename "$web"): the same bytes again, sha256 $(sha256sum <"$web" | cut -d ' ' -f 1)"
echo "package-test: passed in $((SECONDS - started)) s"
