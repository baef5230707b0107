// PEP 508 markers against fuzzed environments. The input is NUL-separated:
// the marker, the value of `extra`, then values for the marker variables in
// declaration order (missing ones keep a Linux CPython value).
#include "fuzz_support.h"
#include "pep/marker.h"
#include "support/errors.h"

using namespace quorl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> fields = fuzz::split_fields(fuzz::as_text(data, size));
    MarkerValues environment = fuzz::linux_cpython_environment();
    for (std::size_t i = 2; i < fields.size() && i - 2 < MarkerValues::SIZE; ++i) {
        environment.set(static_cast<MarkerVariable>(i - 2), std::string(fields[i]));
    }
    const std::string_view extra = fields.size() > 1 ? fields[1] : std::string_view();
    std::optional<Marker> marker;
    try {
        marker = Marker::parse(fields[0]);
    } catch (const ValueError&) {
        return 0;
    }
    const bool holds = marker->evaluate(environment, extra);
    marker->extra_names();
    // The canonical text reads back as the same marker (outside the try: a
    // rejection here is a finding).
    const std::string canonical = marker->to_string();
    const Marker again = Marker::parse(canonical);
    FUZZ_CHECK(again.to_string() == canonical);
    FUZZ_CHECK(again.evaluate(environment, extra) == holds);
    return 0;
}
