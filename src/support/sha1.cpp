#include "support/sha1.h"

#include <string>

namespace quorl {
namespace {

std::uint32_t rotate_left(std::uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

void compress(std::array<std::uint32_t, 5>& state, const unsigned char* block) {
    std::array<std::uint32_t, 80> w{};
    for (int i = 0; i < 16; ++i) {
        w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
               std::uint32_t{block[4 * i + 2]} << 8 | std::uint32_t{block[4 * i + 3]};
    }
    for (int i = 16; i < 80; ++i) w[i] = rotate_left(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f = 0;
        std::uint32_t k = 0;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const std::uint32_t next = rotate_left(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rotate_left(b, 30);
        b = a;
        a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

}  // namespace

Sha1Digest sha1(std::string_view data) {
    std::array<std::uint32_t, 5> state{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    const std::size_t whole = data.size() - data.size() % 64;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    for (std::size_t at = 0; at < whole; at += 64) compress(state, bytes + at);
    // The rest, the 0x80 marker, zeros, and the length in bits: one or two blocks.
    std::string tail(data.substr(whole));
    tail += static_cast<char>(0x80);
    while (tail.size() % 64 != 56) tail += '\0';
    const std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
    for (int shift = 56; shift >= 0; shift -= 8) tail += static_cast<char>((bits >> shift) & 0xFF);
    for (std::size_t at = 0; at < tail.size(); at += 64) {
        compress(state, reinterpret_cast<const unsigned char*>(tail.data()) + at);
    }
    Sha1Digest digest{};
    for (int i = 0; i < 20; ++i) digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

}  // namespace quorl
