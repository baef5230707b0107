// The canonical form of a distribution name, under which installed
// distributions, requirements and pins of one project meet.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quorl {

// Lower case, runs of "-", "_" and "." become one "-" ("Foo.Bar__baz" ->
// "foo-bar-baz").
std::string canonical_name(std::string_view name);

// The same, in place (a canonical name is never longer than the name).
void make_canonical(std::string& name);

// Eight bytes of `name` from `offset` as a big-endian number, zero-padded:
// the numbers of two names compare as their bytes do, so a sort of many
// names (keys, package texts) orders most pairs without a call to memcmp.
// Equal numbers say nothing: the names are then compared in full.
inline std::uint64_t name_prefix(std::string_view name, std::size_t offset) {
    std::uint64_t prefix = 0;
    if (offset + 8 <= name.size()) {
        std::memcpy(&prefix, name.data() + offset, 8);
        return std::endian::native == std::endian::little ? __builtin_bswap64(prefix) : prefix;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        const std::size_t at = offset + i;
        const unsigned char byte = at < name.size() ? static_cast<unsigned char>(name[at]) : 0;
        prefix = prefix << 8 | byte;
    }
    return prefix;
}

}  // namespace quorl
