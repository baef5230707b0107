// PEP 751 lock files given as the resolved file: any text is read into pins
// or rejected with one error naming the file, never a crash.
#include "fuzz_support.h"
#include "pep/canonical_name.h"
#include "resolution/resolved_pins.h"
#include "support/errors.h"

using namespace quorl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MemoryFile file;
    static const MarkerValues markers = fuzz::linux_cpython_environment();
    const std::string& path = file.write(fuzz::as_text(data, size));
    try {
        const ResolvedPins pins = read_lock_file(path, []() -> const MarkerValues& { return markers; });
        for (const auto& [name, version] : pins.versions) FUZZ_CHECK(canonical_name(name) == name);
    } catch (const ValueError& error) {
        FUZZ_CHECK(std::string_view(error.what()).starts_with(path + ": "));
    } catch (const OsError&) {
        // longer than the reader's bound
    }
    return 0;
}
