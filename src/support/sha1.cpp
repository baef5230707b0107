#include "support/sha1.h"

#include <string>

namespace quorl {
namespace {

std::uint32_t rotate_left(std::uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

// The four kinds of round, twenty each, with the five working words named
// anew in each round instead of shifted, and the schedule kept as its last
// sixteen words: one loop of eighty choosing the function each time cost
// over 2,600 instructions a block.
template <int Kind>
std::uint32_t round_function(std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    if constexpr (Kind == 0) return (b & c) | (~b & d);
    if constexpr (Kind == 2) return (b & c) | (b & d) | (c & d);
    return b ^ c ^ d;
}

std::uint32_t schedule(std::array<std::uint32_t, 16>& w, int i) {
    std::uint32_t& word = w[i & 15];
    if (i >= 16) word = rotate_left(w[(i - 3) & 15] ^ w[(i - 8) & 15] ^ w[(i - 14) & 15] ^ word, 1);
    return word;
}

template <int Kind>
void step(std::uint32_t a, std::uint32_t& b, std::uint32_t c, std::uint32_t d, std::uint32_t& e, std::uint32_t word) {
    static constexpr std::uint32_t K[4] = {0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xCA62C1D6};
    e += rotate_left(a, 5) + round_function<Kind>(b, c, d) + K[Kind] + word;
    b = rotate_left(b, 30);
}

template <int Kind>
void twenty_rounds(std::array<std::uint32_t, 5>& v, std::array<std::uint32_t, 16>& w) {
    std::uint32_t a = v[0], b = v[1], c = v[2], d = v[3], e = v[4];
    for (int i = 20 * Kind; i < 20 * Kind + 20; i += 5) {
        step<Kind>(a, b, c, d, e, schedule(w, i));
        step<Kind>(e, a, b, c, d, schedule(w, i + 1));
        step<Kind>(d, e, a, b, c, schedule(w, i + 2));
        step<Kind>(c, d, e, a, b, schedule(w, i + 3));
        step<Kind>(b, c, d, e, a, schedule(w, i + 4));
    }
    v = {a, b, c, d, e};
}

void compress(std::array<std::uint32_t, 5>& state, const unsigned char* block) {
    std::array<std::uint32_t, 16> w{};
    for (int i = 0; i < 16; ++i) {
        w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
               std::uint32_t{block[4 * i + 2]} << 8 | std::uint32_t{block[4 * i + 3]};
    }
    std::array<std::uint32_t, 5> v = state;
    twenty_rounds<0>(v, w);
    twenty_rounds<1>(v, w);
    twenty_rounds<2>(v, w);
    twenty_rounds<3>(v, w);
    for (int i = 0; i < 5; ++i) state[i] += v[i];
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
