#!/usr/bin/env bash
# Makes the two packages, both into the package folder (build-package):
#   fenwaimg_<version>_amd64.deb   from a Release build there, compiled and
#                                   linked with Debian's hardening flags
#                                   (dpkg-buildflags) when dpkg-dev is there;
#   fenwaimg-<version>-win64.zip   from the MinGW-w64 Release build (build-win).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
package_build=$(realpath -m "${PACKAGE_BUILD:-build-package}")
win_build=$(realpath -m "${WIN_BUILD:-build-win}")
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

for tool in cpack dpkg-deb dpkg-shlibdeps dpkg-buildflags x86_64-w64-mingw32-g++; do
  command -v "$tool" >/dev/null || { echo "package: $tool is missing; run 'make deps'" >&2; exit 1; }
done

if [ ! -f "$package_build/CMakeCache.txt" ]; then
  # CMake takes the flags from the environment on the first configuration only.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S . -B "$package_build" -DCMAKE_BUILD_TYPE=Release -DFENWA_TESTS=OFF >/dev/null
fi
cmake --build "$package_build" -j "$jobs"
(cd "$package_build" && cpack -G DEB -B "$package_build" >/dev/null)

cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DFENWA_TESTS=OFF >/dev/null
cmake --build "$win_build" -j "$jobs"
(cd "$win_build" && cpack -G ZIP -B "$package_build" >/dev/null)

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$package_build/CMakeCache.txt")
for file in "fenwaimg_${version}_amd64.deb" "fenwaimg-${version}-win64.zip"; do
  [ -f "$package_build/$file" ] || { echo "package: $file was not made" >&2; exit 1; }
  echo "package: $package_build/$file, $(stat -c %s "$package_build/$file") bytes"
done
