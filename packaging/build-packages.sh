#!/usr/bin/env bash
# Makes the three packages, all into build/packages/:
#   fenwaimg_<version>_amd64.deb   with CPack, from the Linux Release build (build/);
#   fenwaimg-<version>-win64.zip   with CPack, from the MinGW-w64 Release build (build-win/);
#   fenwaimg-<version>-web.zip     the web page `make web` built (build-web/page/), by web-package.sh.
# The two CPack builds are configured and brought up to date first (nothing to
# do when `make build` and `make windows-test` ran before). The same sources
# give the same bytes: every file is dated the last commit (cmake/Packaging.cmake).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux_build=$(realpath -m "${BUILD:-build}")
win_build=$(realpath -m "${WIN_BUILD:-build-win}")
web_build=$(realpath -m "${WEB_BUILD:-build-web}")
packages=$(realpath -m "${PACKAGE_DIR:-$linux_build/packages}")
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

for tool in cpack dpkg-deb dpkg-shlibdeps x86_64-w64-mingw32-g++ python3; do
  command -v "$tool" >/dev/null || { echo "package: $tool is missing; run 'make deps'" >&2; exit 1; }
done
mkdir -p "$packages"

cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$linux_build" -j "$jobs"
(cd "$linux_build" && cpack -G DEB -B "$packages" >/dev/null)

cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DFENWA_TESTS=OFF >/dev/null
cmake --build "$win_build" -j "$jobs"
(cd "$win_build" && cpack -G ZIP -B "$packages" >/dev/null)

bash packaging/web-package.sh "$web_build" "$linux_build" "$packages"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$linux_build/CMakeCache.txt")
for file in "fenwaimg_${version}_amd64.deb" "fenwaimg-${version}-win64.zip" "fenwaimg-${version}-web.zip"; do
  [ -f "$packages/$file" ] || { echo "package: $file was not made" >&2; exit 1; }
  echo "package: $packages/$file, $(stat -c %s "$packages/$file") bytes, sha256 $(sha256sum <"$packages/$file" | cut -d ' ' -f 1)"
done
