#include "support/sha1.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define QUORL_SHA1_X86 1
#endif

namespace quorl {
namespace {

using State = std::array<std::uint32_t, 5>;
// Compresses `blocks` whole 64-byte blocks of `data` into `state`.
using Compress = void (*)(State& state, const unsigned char* data, std::size_t blocks);

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
void twenty_rounds(State& v, std::array<std::uint32_t, 16>& w) {
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

void portable_compress(State& state, const unsigned char* data, std::size_t blocks) {
    for (; blocks > 0; --blocks, data += 64) {
        std::array<std::uint32_t, 16> w{};
        for (int i = 0; i < 16; ++i) {
            w[i] = std::uint32_t{data[4 * i]} << 24 | std::uint32_t{data[4 * i + 1]} << 16 |
                   std::uint32_t{data[4 * i + 2]} << 8 | std::uint32_t{data[4 * i + 3]};
        }
        State v = state;
        twenty_rounds<0>(v, w);
        twenty_rounds<1>(v, w);
        twenty_rounds<2>(v, w);
        twenty_rounds<3>(v, w);
        for (int i = 0; i < 5; ++i) state[i] += v[i];
    }
}

#ifdef QUORL_SHA1_X86

// The SHA extensions do four rounds in one instruction and the schedule in
// two: a block costs a few dozen instructions instead of about 1,900, and
// hashing the components of a large release's bills took a sixth of its time.
#define QUORL_SHA_TARGET __attribute__((target("sha,ssse3,sse4.1"), always_inline)) inline

// Rounds 4G to 4G + 3. `words` hold the schedule's last sixteen words, four
// to a vector, the oldest of each in the highest lane; `e` holds, in its
// highest lane, what the rounds add as E: the state's E before round 0,
// afterwards the A, B, C, D from before the previous four rounds (the
// instruction that adds a message vector derives E from them).
template <int G>
QUORL_SHA_TARGET void four_rounds(__m128i& abcd, __m128i& e, __m128i (&words)[4]) {
    __m128i& w = words[G % 4];
    if constexpr (G >= 4) {
        w = _mm_sha1msg1_epu32(w, words[(G + 1) % 4]);
        w = _mm_sha1msg2_epu32(_mm_xor_si128(w, words[(G + 2) % 4]), words[(G + 3) % 4]);
    }
    const __m128i with_e = G == 0 ? _mm_add_epi32(e, w) : _mm_sha1nexte_epu32(e, w);
    e = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, with_e, G / 5);
}

template <int G>
QUORL_SHA_TARGET void rounds_from(__m128i& abcd, __m128i& e, __m128i (&words)[4]) {
    four_rounds<G>(abcd, e, words);
    if constexpr (G < 19) rounds_from<G + 1>(abcd, e, words);
}

__attribute__((target("sha,ssse3,sse4.1"))) void sha_extensions_compress(State& state, const unsigned char* data,
                                                                         std::size_t blocks) {
    // Big-endian words, the first in the highest lane.
    const __m128i byte_order = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state.data())), 0x1B);
    __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abcd_before = abcd;
        const __m128i e_before = e;
        __m128i words[4];
        for (int i = 0; i < 4; ++i) {
            words[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byte_order);
        }
        rounds_from<0>(abcd, e, words);
        e = _mm_sha1nexte_epu32(e, e_before);
        abcd = _mm_add_epi32(abcd, abcd_before);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state.data()), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e, 3));
}

bool has_sha_extensions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_SSSE3) == 0 || (c & bit_SSE4_1) == 0) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & bit_SHA) != 0;
}

Compress fastest_compress() { return has_sha_extensions() ? sha_extensions_compress : portable_compress; }

#else

Compress fastest_compress() { return portable_compress; }

#endif

Compress chosen_compress() {
    static const Compress compress = fastest_compress();
    return compress;
}

constexpr State INITIAL_STATE{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

// The rest of the text (fewer than 64 bytes), the 0x80 marker, zeros, and
// the length in bits: one or two blocks.
Sha1Digest finished(Compress compress, State& state, const unsigned char* rest, std::size_t rest_size,
                    std::uint64_t size) {
    unsigned char tail[128] = {};
    if (rest_size > 0) std::memcpy(tail, rest, rest_size);
    tail[rest_size] = 0x80;
    const std::size_t tail_size = rest_size < 56 ? 64 : 128;
    const std::uint64_t bits = size * 8;
    for (int i = 0; i < 8; ++i) tail[tail_size - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    compress(state, tail, tail_size / 64);
    Sha1Digest digest{};
    for (int i = 0; i < 20; ++i) digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

Sha1Digest digest_with(Compress compress, std::string_view data) {
    State state = INITIAL_STATE;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const std::size_t whole = data.size() / 64;
    compress(state, bytes, whole);
    return finished(compress, state, bytes + 64 * whole, data.size() % 64, data.size());
}

}  // namespace

Sha1Digest sha1(std::string_view data) { return digest_with(chosen_compress(), data); }

Sha1::Sha1() : state_(INITIAL_STATE) {}

void Sha1::update(std::string_view data) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    std::size_t size = data.size();
    size_ += size;
    if (pending_size_ > 0) {
        const std::size_t taken = std::min(size, pending_.size() - pending_size_);
        std::memcpy(pending_.data() + pending_size_, bytes, taken);
        pending_size_ += taken;
        bytes += taken;
        size -= taken;
        if (pending_size_ < pending_.size()) return;
        chosen_compress()(state_, pending_.data(), 1);
        pending_size_ = 0;
    }
    chosen_compress()(state_, bytes, size / 64);
    pending_size_ = size % 64;
    if (pending_size_ > 0) std::memcpy(pending_.data(), bytes + size - pending_size_, pending_size_);
}

Sha1Digest Sha1::finish() { return finished(chosen_compress(), state_, pending_.data(), pending_size_, size_); }

Sha1Digest portable_sha1(std::string_view data) { return digest_with(portable_compress, data); }

std::string hex(const Sha1Digest& digest) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * digest.size());
    for (const std::uint8_t byte : digest) {
        out += DIGITS[byte >> 4];
        out += DIGITS[byte & 0xF];
    }
    return out;
}

}  // namespace quorl
