// Group strings of the command line ("<name>:<req1>,<req2>") and the
// requirement strings they hold.
#include "cli/group_string.h"
#include "fuzz_support.h"
#include "model/package.h"
#include "support/errors.h"
#include "support/text.h"

using namespace quorl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::as_text(data, size);
    // A name with "_" only adds a warning line per run (kebab-case advice);
    // those inputs would flood the fuzzer's output without reaching new code.
    if (text.substr(0, text.find(':')).find('_') != std::string_view::npos) return 0;

    try {
        const GroupInput group = cli::parse_group_str("resolved.txt", text);
        FUZZ_CHECK(group.name().find(':') == std::string::npos);
        FUZZ_CHECK(group.name() == text::strip(group.name()));
        FUZZ_CHECK(!group.groups().empty());
        for (const std::string& requirement : group.groups()) {
            FUZZ_CHECK(requirement.find(',') == std::string::npos);
            FUZZ_CHECK(requirement == text::strip(requirement));
            try {
                const Package package = Package::from_string(requirement);
                FUZZ_CHECK(Package::from_string(package.to_string()) == package);
            } catch (const ValueError&) {}
        }
    } catch (const ValueError&) {
        FUZZ_CHECK(text::split(text, ":").size() != 2);
    }
    return 0;
}
