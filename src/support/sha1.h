// SHA-1 (FIPS 180-4), for names derived from content, such as name-based
// (version 5) UUIDs. Not for anything that must resist a deliberate
// collision.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quorl {

using Sha1Digest = std::array<std::uint8_t, 20>;

Sha1Digest sha1(std::string_view data);

}  // namespace quorl
