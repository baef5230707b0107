// SHA-1 (FIPS 180-4), for names derived from content, such as name-based
// (version 5) UUIDs. Not for anything that must resist a deliberate
// collision. Uses the processor's SHA instructions where it has them (x86
// SHA extensions, checked once at run time), the portable rounds elsewhere;
// both give the same digest.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quorl {

using Sha1Digest = std::array<std::uint8_t, 20>;

Sha1Digest sha1(std::string_view data);

// The same digest by the portable rounds alone, whatever the processor
// offers: what the fallback gives, for testing it on any machine.
Sha1Digest portable_sha1(std::string_view data);

}  // namespace quorl
