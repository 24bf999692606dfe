#include "cli/model_file_location.h"

#include <filesystem>
#include <system_error>

#include "rtc/model_file.h"

namespace kalendo::cli {

namespace fs = std::filesystem;

std::vector<std::string> ModelFileCandidates(const std::string& programPath) {
    std::vector<std::string> candidates = {kModelInfoFileName};
    const fs::path folder = fs::path(programPath).parent_path();
    if (!folder.empty()) {
        candidates.push_back((folder / kModelInfoFileName).string());
#if !defined(_WIN32)
        // <prefix>/bin/kalendo-cli reads <prefix>/share/kalendo/rtc_model_info.txt.
        if (folder.filename() == "bin") {
            candidates.push_back(
                (folder.parent_path() / "share" / "kalendo" / kModelInfoFileName).string());
        }
#endif
    }
#if !defined(_WIN32)
    const std::string system = std::string("/usr/share/kalendo/") + kModelInfoFileName;
    if (candidates.back() != system) candidates.push_back(system);
#endif
    return candidates;
}

std::string FindModelFile(const std::string& programPath) {
    for (const std::string& candidate : ModelFileCandidates(programPath)) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) return candidate;
    }
    return kModelInfoFileName;
}

std::string ProgramPath(const char* argv0) {
#if defined(__linux__)
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) return self.string();
#endif
    return argv0 ? argv0 : "";
}

}  // namespace kalendo::cli
