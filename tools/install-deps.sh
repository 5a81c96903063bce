#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
set -euo pipefail

packages=(
  cmake make g++ libgtest-dev   # the converter and its tests
  git clang-format              # the formatting check
  libpalm-perl                  # the independent reader the end-to-end tests check images with
  strace                        # the end-to-end tests that kill the converter at every system call
  bsdutils                      # script(1): a terminal for the Windows checks to send Ctrl+C on
  nlohmann-json3-dev jq         # the tool tests (their JSON), and the benchmark (jq beside the tools)
  python3-jsonschema            # the check of the tools' JSON against tools/network.schema.json
  graphviz                      # the sample network drawn by make run, and the test of fenwadump --dot
  fonts-ipafont-gothic          # Japanese names in those pictures: a Japanese sans-serif, 3.5 MB (Noto CJK: 56 MB)
  clang libclang-rt-dev         # the fuzzer (libFuzzer and the sanitizers' runtimes)
  g++-mingw-w64-x86-64          # the Windows build
  wine wine64 wine64-preloader  # the emulator its tests run under
  dpkg-dev man-db lintian       # the Debian package: shlibdeps and build flags, its manual pages, its checks
  emscripten                    # the web page: the library compiled to WebAssembly
  chromium chromium-driver python3-selenium  # the web page's tests, in headless Chromium
)
# npm installs what the web page bundles; a Node.js from elsewhere brings its own npm.
command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"  # with recommends, as tested
fi

# The npm packages the web page bundles (Graphviz compiled to WebAssembly),
# exactly as web/package-lock.json pins them.
cd "$(dirname "$0")/../web"
npm ci --no-audit --no-fund --loglevel=error
