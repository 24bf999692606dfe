// The reference of kalendo-cli's timed commands (drift, check, mark, since): an NTP server the
// program asks itself (--ntp SERVER, with --ntp-fallback the assumed error where it gives no
// usable answer), an error the user states (--reference-error-ms), or else the kernel's maximum
// error where it keeps the clock synchronised (Linux) and the assumed 10 ms where it does not,
// said so either way.
#pragma once

#include <string>

#include "cli/command_context.h"
#include "cli/fact_output.h"
#include "marks/run_reference.h"

namespace kalendo::cli {

struct ReferenceOptions {
    double givenMs = -1;  // --reference-error-ms; below 0: not given
    bool ntp = false;
    ntp::NtpServerName server;
    bool fallback = false;
};

// Takes the reference option at args[*i], if it is one, moving *i past its value; *taken says
// whether it was. Not kExitOk: a usage error, already reported.
int TakeReferenceOption(CommandContext& c, const CommandArguments& args, size_t* i,
                        ReferenceOptions* o, bool* taken);
// After all options: --ntp-fallback goes with --ntp, which excludes --reference-error-ms.
int CheckReferenceOptions(CommandContext& c, const ReferenceOptions& o);
marks::ReferenceChoice ChoiceOf(const CommandContext& c, const ReferenceOptions& o);

// reference_error_ms (the larger end's), reference_error_start_ms and _end_ms, reference_start and
// reference_end (their sources), reference_error_from and reference_error_why.
void PrintRunReference(FactOutput& out, const marks::RunReference& reference,
                       const ReferenceOptions& o);

}  // namespace kalendo::cli
