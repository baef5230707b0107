#include "support/sha1.h"

#include <gtest/gtest.h>

#include <string>

namespace quorl {
namespace {

// The FIPS 180 examples, and lengths on both sides of the padding's block
// boundary (55, 56 and 64 bytes), against the digests of `sha1sum`: by the
// processor's instructions where it has them, and by the portable rounds.
TEST(Sha1Test, MatchesKnownDigestsAcrossBlockBoundaries) {
    const std::pair<std::string, const char*> known[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
        {std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const auto& [data, digest] : known) {
        EXPECT_EQ(hex(sha1(data)), digest) << data.size() << " bytes";
        EXPECT_EQ(hex(portable_sha1(data)), digest) << data.size() << " bytes";
    }
}

// Every length over several blocks, of bytes that differ from word to word,
// so that a lane or a schedule word taken out of order changes the digest.
TEST(Sha1Test, BothWaysAgreeOnEveryLengthOverSeveralBlocks) {
    std::string data;
    for (std::size_t size = 0; size <= 300; ++size) {
        EXPECT_EQ(hex(sha1(data)), hex(portable_sha1(data))) << size << " bytes";
        data += static_cast<char>((size * 151 + 7) & 0xFF);
    }
}

// Pieces of every size around a block's, one after the other: the digest
// of the text they make.
TEST(Sha1Test, PiecesGiveTheDigestOfTheirWholeText) {
    std::string text;
    for (std::size_t i = 0; i < 700; ++i) text += static_cast<char>((i * 151 + 7) & 0xFF);
    for (const std::size_t piece : {1, 7, 63, 64, 65, 200}) {
        Sha1 hash;
        for (std::size_t at = 0; at < text.size(); at += piece) hash.update(std::string_view(text).substr(at, piece));
        EXPECT_EQ(hex(hash.finish()), hex(sha1(text))) << piece << "-byte pieces";
    }
}

}  // namespace
}  // namespace quorl
