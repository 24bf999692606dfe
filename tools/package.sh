#!/usr/bin/env bash
# Builds the Windows release of Kalendo for both widths and packages it with CPack:
#   Kalendo-<version>-win64-setup.exe, Kalendo-<version>-win32-setup.exe   installers (NSIS)
#   Kalendo-<version>-win64-portable.zip, Kalendo-<version>-win32-portable.zip
#   Kalendo-<version>-win64-demo.zip   with the simulated board's ftd2xx.dll and a read-me
# and the Debian packages for Linux (tools/package-deb.sh, in build/deb):
#   kalendo-cli_<version>_<arch>.deb, kalendo-simulated-board_<version>_<arch>.deb
# into build/packages/ (KALENDO_PACKAGE_DIR elsewhere). Each width builds in build/package-<width>.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
tools/install-deps.sh

out=${KALENDO_PACKAGE_DIR:-$root/build/packages}
mkdir -p "$out"
made=()
for width in win64 win32; do
    case $width in
        win64) toolchain=mingw-w64-x86_64.cmake ;;
        win32) toolchain=mingw-w64-i686.cmake ;;
    esac
    build="$root/build/package-$width"
    echo "=== $width: build"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALENDO_BUILD_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" >/dev/null
    cmake --build "$build" --target Kalendo kalendo-cli kalendo_ftd2xx
    echo "=== $width: packages"
    runs=("-G NSIS" "-G ZIP")
    # The simulated library matches the program's width; one demo (64-bit) is enough.
    [ "$width" = win64 ] && runs+=("-G ZIP -D KALENDO_PACKAGE_DEMO=ON")
    for run in "${runs[@]}"; do
        # shellcheck disable=SC2086  # each run is a list of cpack options
        (cd "$build" && cpack $run -B "$build/packages" >"$build/cpack.log" 2>&1) || {
            cat "$build/cpack.log"
            exit 1
        }
        file=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$build/cpack.log")
        [ -f "$file" ] || { echo "cpack made no package:"; cat "$build/cpack.log"; exit 1; }
        cp "$file" "$out/"
        made+=("$out/$(basename "$file")")
    done
done
echo "=== Linux: Debian packages"
tools/package-deb.sh "$out" | tee "$root/build/package-deb.log"
while read -r f; do made+=("$f"); done < <(grep '\.deb$' "$root/build/package-deb.log" | tail -n 2)

echo
echo "Packages in $out:"
for f in "${made[@]}"; do
    printf '  %-40s %9d bytes\n' "$(basename "$f")" "$(stat -c %s "$f")"
done
