// Installed-distribution metadata: the METADATA / PKG-INFO header block (as
// parsed text and through the chunked file reader) and egg-info requires.txt,
// with every requirement line they yield.
#include <fcntl.h>

#include "environment/metadata.h"
#include "fuzz_support.h"
#include "pep/requirement.h"
#include "support/errors.h"

using namespace quorl;

namespace {

void parse_lines(const std::vector<std::string>& lines) {
    static const MarkerValues environment = fuzz::linux_cpython_environment();
    for (const std::string& line : lines) {
        try {
            const Requirement requirement = parse_requirement_of(line, "dist", "dist-1.0.dist-info");
            if (!requirement.marker) continue;
            requirement.marker->evaluate(environment, "");
            for (const std::string& extra : requirement.marker->extra_names()) {
                requirement.marker->evaluate(environment, extra);
            }
        } catch (const ValueError&) {}
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MemoryFile file;
    const std::string_view text = fuzz::as_text(data, size);

    const MetadataHeaders headers = parse_metadata_headers(text);
    parse_lines(headers.requires_dist);

    // The file reader stops after the header block, reading in chunks; what
    // it returns must hold the same headers as the whole text.
    const std::string& path = file.write(text);
    const std::optional<std::string> block = read_metadata_headers(AT_FDCWD, path.c_str(), "METADATA");
    FUZZ_CHECK(block.has_value());
    FUZZ_CHECK(text.substr(0, block->size()) == *block);
    const MetadataHeaders from_file = parse_metadata_headers(*block);
    FUZZ_CHECK(from_file.name == headers.name);
    FUZZ_CHECK(from_file.requires_dist == headers.requires_dist);

    const std::optional<std::string> whole = read_small_file(AT_FDCWD, path.c_str(), "requires.txt");
    FUZZ_CHECK(whole.has_value() && *whole == text);
    parse_lines(egg_info_requirement_lines(text));
    return 0;
}
