#include "support/text.h"

#include <gtest/gtest.h>

namespace quorl::text {
namespace {

TEST(TextTest, SplitLinesBreaksLikePython) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(split_lines("a\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(split_lines("a\r\nb\rc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(split_lines("a\n\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(split_lines("a\vb\fc\x1c"
                          "d\x1e"
                          "e"),
              (Lines{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(split_lines("a\xC2\x85"
                          "b\xE2\x80\xA8"
                          "c\xE2\x80\xA9"),
              (Lines{"a", "b", "c"}));
    EXPECT_EQ(split_lines(""), Lines{});
    EXPECT_EQ(split_lines("\n"), (Lines{""}));
    EXPECT_EQ(split_lines("a\xE2\x80\xA7"), (Lines{"a\xE2\x80\xA7"}));
    EXPECT_EQ(split_lines("a\x1d"
                          "b\xC2\xA0"
                          "c\xE2"
                          "d\xE2\x80"),
              (Lines{"a",
                     "b\xC2\xA0"
                     "c\xE2"
                     "d\xE2\x80"}));
}

TEST(TextTest, Utf8ValidationRejectsMalformedSequences) {
    EXPECT_TRUE(is_valid_utf8("plain ascii"));
    EXPECT_TRUE(is_valid_utf8("caf\xC3\xA9 \xE2\x94\x9C \xF0\x9F\x90\x8D"));
    for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "\xE2\x28\xA1"}) {
        EXPECT_FALSE(is_valid_utf8(bad)) << bad;
    }
    EXPECT_EQ(count_code_points("caf\xC3\xA9"), 4u);
}

TEST(TextTest, StripAndSplitKeepEmptyPieces) {
    EXPECT_EQ(strip(" \t a b \r\n"), "a b");
    EXPECT_EQ(split("a,,b", ","), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(split("", ","), (std::vector<std::string>{""}));
}

TEST(TextTest, StripUnicodeSpaceStripsWhatPythonStrips) {
    // Every character str.isspace() accepts, on both ends.
    const std::string all =
        "\t\n\v\f\r\x1c\x1d\x1e\x1f \xC2\x85\xC2\xA0\xE1\x9A\x80\xE2\x80\x80\xE2\x80\x8A"
        "\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\x9F\xE3\x80\x80";
    EXPECT_EQ(strip_unicode_space(all + "num py" + all), "num py");
    EXPECT_EQ(strip_unicode_space(all), "");
    // Not white space: zero-width space, U+200B; a lone lead byte; an A0 that
    // ends another character (U+00E0 is C3 A0).
    for (const std::string kept : {"a\xE2\x80\x8B", "a\xC2", "a\xC3\xA0",
                                   "\xA0"
                                   "a"}) {
        EXPECT_EQ(strip_unicode_space(kept), kept);
    }
}

TEST(TextTest, CaseIsFoldedForAsciiLettersOnly) {
    EXPECT_TRUE(equals_ignoring_case("Requires-DIST", "requires-dist"));
    EXPECT_FALSE(equals_ignoring_case("Name", "Names"));
    EXPECT_FALSE(equals_ignoring_case("\xC3\x84", "\xC3\xA4"));  // not Unicode case folding
    EXPECT_TRUE(ends_with_ignoring_case("Foo-1.0.DIST-INFO", ".dist-info"));
    EXPECT_FALSE(ends_with_ignoring_case("info", ".dist-info"));
    EXPECT_EQ(to_lower_ascii("PyYAML-\xC3\x84"), "pyyaml-\xC3\x84");
}

}  // namespace
}  // namespace quorl::text
