// Requirement strings as group strings and exclude files hold them:
// Package::from_string, the text form and the canonical name.
#include "fuzz_support.h"
#include "model/package.h"
#include "pep/canonical_name.h"
#include "support/errors.h"

using namespace quorl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::as_text(data, size);

    const std::string canonical = canonical_name(text);
    FUZZ_CHECK(canonical_name(canonical) == canonical);

    try {
        const Package package = Package::from_string(text);
        // The text form is how packages are parsed, hashed and printed
        // everywhere, so it must read back as the same package.
        const Package again = Package::from_string(package.to_string());
        FUZZ_CHECK(again == package);
        FUZZ_CHECK(again.hash() == package.hash());
        FUZZ_CHECK(package.included_in(package));
        FUZZ_CHECK(package.base().included_in(package));
        FUZZ_CHECK(!package.base().has_extras());
        FUZZ_CHECK(package.to_string().find('_') == std::string::npos || package.name().find('_') == std::string::npos);
    } catch (const ValueError&) {
        // Rejected strings are expected; anything else escapes and is a finding.
    }
    return 0;
}
