#include "sim/control/control_file.h"

#include <cstdlib>
#include <fstream>

namespace kalendo::sim {

namespace {
std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}
}  // namespace

std::string DefaultControlFile() {
#if defined(_WIN32)
    std::string temp = Env("TEMP");
    if (temp.empty()) temp = Env("TMP");
    if (temp.empty()) temp = "C:";
    return temp + "\\kalendo-sim-control.txt";
#else
    std::string temp = Env("TMPDIR");
    if (temp.empty()) temp = "/tmp";
    return temp + "/kalendo-sim-control.txt";
#endif
}

std::string ControlFileFromEnvironment() {
    const std::string path = Env("KALENDO_SIM_CONTROL");
    return path.empty() ? DefaultControlFile() : path;
}

bool AppendControlCommand(const std::string& file, const std::string& line, std::string* error) {
    std::ofstream out(file, std::ios::app | std::ios::binary);
    if (out) out << line << "\n";
    if (!out) {
        if (error) *error = "cannot write the control file " + file;
        return false;
    }
    return true;
}

}  // namespace kalendo::sim
