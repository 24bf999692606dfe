#include "check/check_report_file.h"

#include <cstdio>
#include <cstring>

#include "bridge/register_access.h"
#include "bridge/simulated_board.h"

namespace kalendo::check {

std::string BoardNameOf(DeviceHandle device) {
    const uint32_t index = (device >> 8) - 1u;
    const BridgeState& s = Bridge();
    if (device == 0 || index >= s.boardCount || !s.boards[index]) return "no board";
    const BoardEntry& b = *s.boards[index];
    const std::string description(b.description, strnlen(b.description, sizeof b.description));
    const std::string serial(b.serialNumber, strnlen(b.serialNumber, sizeof b.serialNumber));
    std::string name = (description.empty() ? std::string("unnamed bridge") : description) +
                       ", serial " + (serial.empty() ? std::string("(none)") : serial) +
                       " (board " + std::to_string(index + 1) + ")";
    if (LoadedLibraryIsSimulatedBoard()) name += ", simulated board";
    return name;
}

bool WriteCheckReport(const std::string& path, const CheckResult& result, const ReportInfo& info) {
    const std::string html = CheckReportHtml(result, info);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(html.data(), 1, html.size(), file) == html.size();
    written = std::fclose(file) == 0 && written;
    return written;
}

}  // namespace kalendo::check
