#include "cli/reference_options.h"

#include <algorithm>
#include <cmath>

#include "bridge/os_seam.h"
#include "cli/command_line.h"

namespace kalendo::cli {

int TakeReferenceOption(CommandContext& c, const CommandArguments& args, size_t* i,
                        ReferenceOptions* o, bool* taken) {
    const std::string& a = args[*i];
    *taken = a == "--ntp" || a == "--ntp-fallback" || a == "--reference-error-ms";
    if (!*taken) return kExitOk;
    if (a == "--ntp-fallback") {
        o->fallback = true;
        return kExitOk;
    }
    if (*i + 1 >= args.size()) return c.UsageError("\"" + a + "\" needs a value");
    const std::string& value = args[++*i];
    if (a == "--ntp") {
        std::string error;
        if (!ntp::ParseNtpServerName(value, &o->server, &error)) {
            return c.UsageError("--ntp " + error);
        }
        o->ntp = true;
    } else if (!ParseReferenceError(value, &o->givenMs)) {
        return c.UsageError(ReferenceErrorUsage(value));
    }
    return kExitOk;
}

int CheckReferenceOptions(CommandContext& c, const ReferenceOptions& o) {
    if (o.ntp && o.givenMs >= 0) {
        return c.UsageError("--ntp and --reference-error-ms exclude each other");
    }
    if (o.fallback && !o.ntp) return c.UsageError("--ntp-fallback goes with --ntp SERVER");
    return kExitOk;
}

marks::ReferenceChoice ChoiceOf(const CommandContext& c, const ReferenceOptions& o) {
    marks::ReferenceChoice choice;
    choice.assumedErrorSeconds = (o.givenMs >= 0 ? o.givenMs : kDefaultReferenceErrorMs) / 1000;
    if (o.ntp) {
        choice.source = marks::ReferenceSource::Ntp;
        choice.server = o.server;
        choice.network = c.network;
        choice.fallback = o.fallback;
        choice.burst.wait = [](double s) { Os().SleepMs(static_cast<uint32_t>(s * 1000)); };
    } else if (o.givenMs < 0) {
        // Where the kernel keeps the clock synchronised it measures the error; elsewhere the
        // assumed one stands, and the output says which.
        choice.source = marks::ReferenceSource::Kernel;
        choice.fallback = true;
        choice.kernelError = c.kernelError;
    }
    return choice;
}

void PrintRunReference(FactOutput& out, const marks::RunReference& reference,
                       const ReferenceOptions& o) {
    const double start = reference.ErrorMs(false);
    const double end = reference.ErrorMs(true);
    out.Number("reference_error_ms", std::max(start, std::isnan(end) ? start : end), 3);
    out.Number("reference_error_start_ms", start, 3);
    if (!std::isnan(end)) out.Number("reference_error_end_ms", end, 3);
    out.Text("reference_start", reference.SourceText(false));
    if (!std::isnan(end)) out.Text("reference_end", reference.SourceText(true));
    // One word where both ends agree: "ntp", "kernel", "assumed", or "option" for the user's.
    const auto kind = [&](bool atEnd) {
        const std::string s = reference.SourceText(atEnd);
        return s.substr(0, s.find(' '));
    };
    std::string from = o.givenMs >= 0 ? "option" : kind(false);
    if (o.givenMs < 0 && !std::isnan(end) && kind(true) != from) from += " and " + kind(true);
    out.Text("reference_error_from", from);
    out.Text("reference_error_why", o.givenMs >= 0 ? "given by --reference-error-ms"
                                                    : reference.Why());
}

}  // namespace kalendo::cli
