// The JSON document `release` writes.
#pragma once

#include <string>

#include "resolution/requirement_generator.h"

namespace quorl::cli {

// One member per entry in the mapping's order, each an array of strings;
// 2-space layout, "[]" for an empty array and "{}" for an empty mapping; pure
// ASCII (\uXXXX escapes, surrogate pairs above U+FFFF); no final line break.
// Bytes that are not UTF-8 become U+FFFD instead of failing the release after
// all its work is done.
std::string release_json_text(const PinnedGroups& pinned);

}  // namespace quorl::cli
