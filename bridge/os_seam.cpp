#include "bridge/os_seam.h"

#include <chrono>

namespace kalendo {

OsSeam& DefaultOsSeam();  // os_seam_win32.cpp in the Windows build, os_seam_posix.cpp otherwise

namespace {
OsSeam* installed = nullptr;
}

uint64_t OsSeam::NowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

OsSeam& Os() {
    return installed ? *installed : DefaultOsSeam();
}

void InstallOsSeam(OsSeam* seam) {
    installed = seam;
}

}  // namespace kalendo
