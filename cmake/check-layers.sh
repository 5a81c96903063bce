#!/usr/bin/env bash
# The include graph points one way: a file includes only headers of its own
# layer or of the layers below it. From the bottom:
#   base/ (the failure road, bytes, cursor)  fileio/ text/  network/  pdb/
#   driver/ (the converter)  toolkit/ diff/ (the tools on bytes)  tools/ web/ (the programs)  tests/ bench/
# Prints every include that points upwards and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
  case "$1" in
    base) echo 0 ;;
    fileio | text) echo 1 ;;
    network) echo 2 ;;
    pdb) echo 3 ;;
    driver) echo 4 ;;
    toolkit | diff) echo 5 ;;
    tools | web) echo 6 ;;
    tests | bench) echo 7 ;;
    *) echo "" ;;
  esac
}

status=0
while IFS= read -r file; do
  own=$(rank "${file%%/*}")
  [ -n "$own" ] || continue
  while IFS= read -r included; do
    target=$(rank "${included%%/*}")
    if [ -n "$target" ] && [ "$target" -gt "$own" ]; then
      echo "$file includes $included, a layer above its own"
      status=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' | sed 's|^\./||')
[ "$status" -eq 0 ] && echo "layers: every include points down or sideways"
exit "$status"
