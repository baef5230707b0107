// SHA-1 (FIPS 180-4), for names derived from content, such as name-based
// (version 5) UUIDs. Not for anything that must resist a deliberate
// collision. Uses the processor's SHA instructions where it has them (x86
// SHA extensions, checked once at run time), the portable rounds elsewhere;
// both give the same digest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorl {

using Sha1Digest = std::array<std::uint8_t, 20>;

Sha1Digest sha1(std::string_view data);

// The digest of several pieces as if they were one text: no copy of them
// joined has to be made.
class Sha1 {
public:
    Sha1();
    void update(std::string_view data);
    // The digest of everything given; the object is not to be used after.
    Sha1Digest finish();

private:
    std::array<std::uint32_t, 5> state_;
    std::array<unsigned char, 64> pending_{};  // the start of a block not yet compressed
    std::size_t pending_size_ = 0;
    std::uint64_t size_ = 0;  // bytes given in all
};

// The digest as 40 lower-case hexadecimal digits.
std::string hex(const Sha1Digest& digest);

// The same digest by the portable rounds alone, whatever the processor
// offers: what the fallback gives, for testing it on any machine.
Sha1Digest portable_sha1(std::string_view data);

}  // namespace quorl
