#include "cli/release_json.h"

#include <gtest/gtest.h>

namespace quorl::cli {
namespace {

TEST(ReleaseJsonTest, LayoutKeepsOrderAndHasNoFinalLineBreak) {
    PinnedGroups pinned;
    pinned.set("zeta", {"numpy==1.19.2", "pandas==1.1.3"});
    pinned.set("empty", {});
    pinned.set("alpha", {"a==1"});
    EXPECT_EQ(release_json_text(pinned),
              "{\n"
              "  \"zeta\": [\n"
              "    \"numpy==1.19.2\",\n"
              "    \"pandas==1.1.3\"\n"
              "  ],\n"
              "  \"empty\": [],\n"
              "  \"alpha\": [\n"
              "    \"a==1\"\n"
              "  ]\n"
              "}");
    EXPECT_EQ(release_json_text(PinnedGroups{}), "{}");
}

TEST(ReleaseJsonTest, EscapesKeepTheFileAscii) {
    PinnedGroups pinned;
    pinned.set("d\xC3\xA9j\xC3\xA0/\"q\"\\", {std::string("\b\f\n\r\t\x01") + "\x7f", "\xF0\x9F\x90\x8D"});
    pinned.set("bad\xFF", {"\xC3"});
    EXPECT_EQ(release_json_text(pinned),
              "{\n"
              "  \"d\\u00e9j\\u00e0/\\\"q\\\"\\\\\": [\n"
              "    \"\\b\\f\\n\\r\\t\\u0001\\u007f\",\n"
              "    \"\\ud83d\\udc0d\"\n"
              "  ],\n"
              "  \"bad\\ufffd\": [\n"
              "    \"\\ufffd\"\n"
              "  ]\n"
              "}");
}

}  // namespace
}  // namespace quorl::cli
