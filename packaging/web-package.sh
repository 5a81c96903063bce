#!/usr/bin/env bash
# Makes the web page's zip, fenwaimg-<version>-web.zip: one folder holding the
# page as `make web` built it in build-web/page/ (open index.html from it, or
# serve the folder), with the README, the sample network and the JSON Schema.
# Written again by packaging/normalise-package.py, so that the same files give
# the same bytes: every file dated SOURCE_DATE_EPOCH, which, when unset, is the
# last commit's time, or with no git history the changelog's latest entry (as
# packaging/source-date.cmake sets it for CPack).
# Usage: web-package.sh WEB_BUILD LINUX_BUILD PACKAGE_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
web_build=$(realpath -m "$1")
linux_build=$(realpath -m "$2")
packages=$(realpath -m "$3")

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$linux_build/CMakeCache.txt")
if ! [[ "${SOURCE_DATE_EPOCH:-}" =~ ^[0-9]+$ ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null ||
    sed -n 's/^set(CPACK_FENWA_RELEASE_EPOCH "\([0-9]*\)")$/\1/p' "$linux_build/CPackConfig.cmake")
fi
export SOURCE_DATE_EPOCH

name="fenwaimg-$version-web"
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
mkdir "$staging/$name"
for file in index.html page.js page.css fenwa.js viz-global.js; do
  [ -f "$web_build/page/$file" ] || { echo "web-package: $web_build/page/$file is missing; run 'make web'" >&2; exit 1; }
  cp "$web_build/page/$file" "$staging/$name/"
done
cp README.md examples/sample-network.json tools/network.schema.json "$staging/$name/"
mkdir -p "$packages"
rm -f "$packages/$name.zip"
(cd "$staging" && cmake -E tar cf "$packages/$name.zip" --format=zip "$name")
python3 packaging/normalise-package.py "$packages/$name.zip"
