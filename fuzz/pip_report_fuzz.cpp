// pip's installation report (JSON), from which the pip fallback resolver
// writes the pinned file: any report is turned into pins or rejected cleanly.
#include "fuzz_support.h"
#include "resolution/pip_report.h"
#include "resolution/requirement_line.h"
#include "resolution/resolver_run.h"
#include "support/errors.h"
#include "support/text.h"

using namespace quorl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string pinned;
    try {
        pinned = pinned_lines_from_pip_report(fuzz::as_text(data, size));
    } catch (const QuorlError&) {
        return 0;
    }
    FUZZ_CHECK(pinned.empty() || pinned.back() == '\n');
    // The pinned file is read back later; each line either reads as a
    // requirement or is rejected with a ValueError, never anything worse.
    for (const RequirementLine& line : logical_requirement_lines(pinned)) {
        try {
            normalise_requirement(line.text);
        } catch (const ValueError&) {}
    }
    return 0;
}
