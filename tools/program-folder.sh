# Sourced by tools/run.sh and tools/screenshots.sh (from the repository root): builds the Windows
# program with the simulated board and lays out one folder with everything it needs.
#
# kalendo_program_folder NAME [TARGET...]
#   Configures the mingw64 preset's folder, or KALENDO_BUILD_DIR when set, builds Kalendo, the
#   simulated ftd2xx.dll, kalendo_remote and any further targets, and copies the program, the
#   library, the remote, rtc_model_info.txt and the two help documents into <build>/NAME.
#   Sets `build` and `program_folder`.
kalendo_program_folder() {
    local name=$1
    shift
    build=${KALENDO_BUILD_DIR:-$PWD/build/mingw64}
    if [ -z "${KALENDO_BUILD_DIR:-}" ]; then
        cmake --preset mingw64 >/dev/null
    else
        cmake -S "$PWD" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" >/dev/null
    fi
    cmake --build "$build" --target Kalendo kalendo_ftd2xx kalendo_remote "$@" -j2
    program_folder="$build/$name"
    mkdir -p "$program_folder"
    cp "$build/app/Kalendo.exe" "$build/sim/ftd2xx.dll" "$build/app/kalendo_remote.exe" \
        "$program_folder/"
    cp resources/rtc_model_info.txt resources/KalendoQuickHelp.htm resources/LICENSE-EULA.htm \
        "$program_folder/"
}
