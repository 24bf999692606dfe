// Where kalendo-cli finds rtc_model_info.txt: in the current folder, as the window reads it;
// else beside the program, so that a script started from anywhere still finds the data sheet;
// else, for an installed program, in the data folder of its prefix (<prefix>/share/kalendo, the
// Debian package's /usr/share/kalendo).
#pragma once

#include <string>
#include <vector>

namespace kalendo::cli {

// The places looked in, in order, for a program at programPath.
std::vector<std::string> ModelFileCandidates(const std::string& programPath);

// The first candidate that exists; the plain file name (the current folder) when none does, so
// that the message names what was looked for.
std::string FindModelFile(const std::string& programPath);

// The running program's own file: /proc/self/exe on Linux, else argv[0] as given.
std::string ProgramPath(const char* argv0);

}  // namespace kalendo::cli
