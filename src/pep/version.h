// PEP 440 versions and version specifiers, as far as environment markers and
// the validation of requirement lines need them: parsing, ordering, and
// whether a version satisfies one "<op><version>" clause.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/text.h"

namespace quorl {

struct Version {
    // Pre-release kinds in their PEP 440 order (alpha < beta < release candidate).
    enum class PreKind { Alpha, Beta, Candidate };
    struct Pre {
        PreKind kind;
        std::uint64_t number;
    };

    std::uint64_t epoch = 0;
    std::vector<std::uint64_t> release;  // never empty for a parsed version
    std::optional<Pre> pre;
    std::optional<std::uint64_t> post;
    std::optional<std::uint64_t> dev;
    std::vector<std::string> local;  // lower-cased segments after "+"

    bool is_prerelease() const { return pre.has_value() || dev.has_value(); }
    bool is_postrelease() const { return post.has_value(); }
    // The same version without its local segments.
    Version public_version() const;
    // Epoch and release only.
    Version base_version() const;
};

// Parses a PEP 440 version (case-insensitive, optional leading "v", alternative
// spellings and separators accepted, surrounding white space ignored). Returns
// nothing when the text is not a valid version, or when a number does not fit
// in 64 bits.
std::optional<Version> parse_version(std::string_view text);

// Where the plain release number that starts at `from` ends: runs of 1 to
// 19 digits (so that every number fits in 64 bits) joined by single ".";
// `from` when there is none; with `numbers`, it receives how many numbers
// there are. `at_end(at)` tells where the text ends; in text
// that ends with a NUL (std::string::c_str()) it may answer false throughout,
// since NUL continues no number. Checked while scanning for the end, which a
// separate check of the found text would cost a second pass for.
template <typename AtEnd>
const char* plain_release_end(const char* from, AtEnd at_end, std::size_t* numbers = nullptr) {
    constexpr std::ptrdiff_t MOST_DIGITS = 19;  // always fits a 64-bit number
    const char* number = from;                  // where the number being read starts
    const char* at = from;
    std::size_t dots = 0;
    for (; !at_end(at); ++at) {
        if (text::is_ascii_digit(*at)) continue;
        if (*at != '.' || at == number) break;  // not a version byte, or a number missing
        if (at - number > MOST_DIGITS) return from;
        number = at + 1;
        ++dots;
    }
    if (at == number || at - number > MOST_DIGITS) return from;  // no last number, or a long one
    if (numbers) *numbers = dots + 1;
    return at;
}

// How many release numbers `text` has when it is exactly such a plain
// release number "N(.N)*", else 0. Such a version is accepted as written by
// every operator but "===", which lets the common cases skip the general
// parser.
std::size_t plain_release_numbers(std::string_view text);

// The normal form of a version ("1!2.0rc1.post3.dev4+ubuntu.1"): what
// "===" compares an installed version's text with.
std::string normal_form(const Version& version);

// PEP 440 ordering: negative, zero or positive like strcmp.
int compare_versions(const Version& a, const Version& b);

// The comparison operators of version specifiers. Arbitrary ("===") compares
// text and is left to the caller.
enum class VersionOperator { Equal, NotEqual, LessEqual, GreaterEqual, Less, Greater, Compatible };

// Whether `version` satisfies the clause `op spec`, pre-releases included.
// Returns nothing when `op spec` is not a valid specifier clause (a "==" or
// "!=" clause may end in ".*"; "~=" needs two release numbers; only "==" and
// "!=" accept a local label).
std::optional<bool> version_satisfies(const Version& version, VersionOperator op, std::string_view spec);

// Whether `op spec` is a valid specifier clause (see version_satisfies).
bool is_valid_specifier(VersionOperator op, std::string_view spec);

// A specifier clause parsed once, for judging many versions against it.
struct VersionClause {
    VersionOperator op;
    Version bound;          // for a wildcard, the prefix before ".*"
    bool wildcard = false;  // "==1.2.*" or "!=1.2.*"
};

// The clause `op spec`; nothing when it is not valid (see version_satisfies).
std::optional<VersionClause> parse_version_clause(VersionOperator op, std::string_view spec);

// Whether `version` satisfies `clause`, pre-releases included.
bool version_satisfies(const Version& version, const VersionClause& clause);

}  // namespace quorl
