#!/usr/bin/env bash
# Builds kalendo-cli and the simulated board's libftd2xx.so natively (preset deb: optimised,
# hardened, gcc) and packages them with CPack's DEB generator:
#   kalendo-cli_<version>_<arch>.deb, kalendo-simulated-board_<version>_<arch>.deb
# into the folder given (default build/packages). Prints each package's path on the last lines.
# tools/package.sh calls it beside the Windows packages; tools/test.sh tests what it makes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-$root/build/packages}
mkdir -p "$out"
build="$root/build/deb"
cmake --preset deb >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build --preset deb -j2
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB -B "$build/packages" >"$build/cpack.log" 2>&1) || {
    cat "$build/cpack.log"
    exit 1
}
made=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$build/cpack.log")
[ "$(echo "$made" | grep -c '\.deb$')" -eq 2 ] || { echo "cpack made no two packages:"; cat "$build/cpack.log"; exit 1; }
for f in $made; do
    cp "$f" "$out/"
    echo "$out/$(basename "$f")"
done
