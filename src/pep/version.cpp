#include "pep/version.h"

#include "support/text.h"

namespace quorl {
namespace {

bool is_alnum_lower(char c) { return text::is_ascii_digit(c) || (c >= 'a' && c <= 'z'); }
bool is_separator(char c) { return c == '-' || c == '_' || c == '.'; }

// A cursor over the version text that backtracks by resetting `pos`.
struct Cursor {
    std::string_view text;
    std::size_t pos = 0;
    bool overflow = false;

    bool at_end() const { return pos >= text.size(); }
    char peek(std::size_t ahead = 0) const {
        return pos + ahead < text.size() ? text::to_lower_ascii(text[pos + ahead]) : '\0';
    }

    bool take(char c) {
        if (peek() != c) return false;
        ++pos;
        return true;
    }
    bool take_separator() {
        if (!is_separator(peek())) return false;
        ++pos;
        return true;
    }
    // Case-insensitive keyword.
    bool take_word(std::string_view word) {
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (peek(i) != word[i]) return false;
        }
        pos += word.size();
        return true;
    }
    std::optional<std::uint64_t> take_number() {
        if (!text::is_ascii_digit(peek())) return std::nullopt;
        std::uint64_t value = 0;
        while (text::is_ascii_digit(peek())) {
            const std::uint64_t digit = static_cast<std::uint64_t>(text[pos] - '0');
            if (value > (UINT64_MAX - digit) / 10) overflow = true;
            value = value * 10 + digit;
            ++pos;
        }
        return value;
    }
};

// "[-_.]? <digits>" after a label: the separator counts only when digits follow.
std::uint64_t take_label_number(Cursor& c) {
    const std::size_t start = c.pos;
    c.take_separator();
    if (std::optional<std::uint64_t> n = c.take_number()) return *n;
    c.pos = start;
    return 0;
}

bool parse_pre(Cursor& c, Version& v) {
    const std::size_t start = c.pos;
    c.take_separator();
    // Longer spellings first, so "alpha" is not read as "a" + "lpha".
    static const std::pair<std::string_view, Version::PreKind> labels[] = {
        {"alpha", Version::PreKind::Alpha},
        {"beta", Version::PreKind::Beta},
        {"preview", Version::PreKind::Candidate},
        {"pre", Version::PreKind::Candidate},
        {"rc", Version::PreKind::Candidate},
        {"a", Version::PreKind::Alpha},
        {"b", Version::PreKind::Beta},
        {"c", Version::PreKind::Candidate},
    };
    for (const auto& [word, kind] : labels) {
        if (c.take_word(word)) {
            v.pre = Version::Pre{kind, take_label_number(c)};
            return true;
        }
    }
    c.pos = start;
    return false;
}

void parse_post(Cursor& c, Version& v) {
    const std::size_t start = c.pos;
    if (c.take('-')) {
        if (std::optional<std::uint64_t> n = c.take_number()) {
            v.post = *n;
            return;
        }
        c.pos = start;
    }
    c.take_separator();
    for (std::string_view word : {"post", "rev", "r"}) {
        if (c.take_word(word)) {
            v.post = take_label_number(c);
            return;
        }
    }
    c.pos = start;
}

void parse_dev(Cursor& c, Version& v) {
    const std::size_t start = c.pos;
    c.take_separator();
    if (c.take_word("dev")) {
        v.dev = take_label_number(c);
        return;
    }
    c.pos = start;
}

bool parse_local(Cursor& c, Version& v) {
    if (!c.take('+')) return true;
    while (true) {
        std::string segment;
        while (is_alnum_lower(c.peek())) {
            segment += c.peek();
            ++c.pos;
        }
        if (segment.empty()) return false;
        v.local.push_back(std::move(segment));
        if (!c.take_separator()) return true;
    }
}

bool parse_release(Cursor& c, Version& v) {
    std::optional<std::uint64_t> first = c.take_number();
    if (!first) return false;
    if (c.take('!')) {
        v.epoch = *first;
        first = c.take_number();
        if (!first) return false;
    }
    v.release.reserve(4);  // most versions have at most four numbers: one allocation
    v.release.push_back(*first);
    while (c.peek() == '.' && text::is_ascii_digit(c.peek(1))) {
        ++c.pos;
        v.release.push_back(*c.take_number());
    }
    return true;
}

int compare_numbers(std::uint64_t a, std::uint64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

int compare_release(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) {
    // Trailing zeros do not count: 1.0 == 1.0.0.
    const std::size_t n = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t x = i < a.size() ? a[i] : 0;
        const std::uint64_t y = i < b.size() ? b[i] : 0;
        if (x != y) return compare_numbers(x, y);
    }
    return 0;
}

// Pre-release rank: a dev release without pre or post sorts before every
// pre-release of its release; no pre-release sorts after all of them.
int compare_pre(const Version& a, const Version& b) {
    auto rank = [](const Version& v) -> int {
        if (!v.pre && !v.post && v.dev) return -1;
        if (!v.pre) return 1;
        return 0;
    };
    const int ra = rank(a), rb = rank(b);
    if (ra != rb) return ra < rb ? -1 : 1;
    if (ra != 0) return 0;
    if (a.pre->kind != b.pre->kind) return a.pre->kind < b.pre->kind ? -1 : 1;
    return compare_numbers(a.pre->number, b.pre->number);
}

int compare_optional(const std::optional<std::uint64_t>& a, const std::optional<std::uint64_t>& b, int absent_rank) {
    if (a && b) return compare_numbers(*a, *b);
    if (!a && !b) return 0;
    return a ? -absent_rank : absent_rank;
}

bool all_digits(const std::string& s) { return std::all_of(s.begin(), s.end(), text::is_ascii_digit); }

// Local segments: numeric segments sort after alphanumeric ones and compare
// as numbers; a longer local label sorts after its own prefix.
int compare_local(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.empty() != b.empty()) return a.empty() ? -1 : 1;
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const bool na = all_digits(a[i]), nb = all_digits(b[i]);
        if (na != nb) return na ? 1 : -1;
        if (na) {
            const std::string_view x =
                std::string_view(a[i]).substr(std::min(a[i].find_first_not_of('0'), a[i].size()));
            const std::string_view y =
                std::string_view(b[i]).substr(std::min(b[i].find_first_not_of('0'), b[i].size()));
            if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
            if (x != y) return x < y ? -1 : 1;
        } else if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return compare_numbers(a.size(), b.size());
}

bool ends_with_wildcard(std::string_view spec) { return spec.size() >= 2 && spec.substr(spec.size() - 2) == ".*"; }

// "==<prefix>.*": the release numbers of `version`, padded with zeros,
// begin with those of the prefix (same epoch).
bool matches_prefix(const Version& version, const Version& prefix) {
    if (version.epoch != prefix.epoch) return false;
    for (std::size_t i = 0; i < prefix.release.size(); ++i) {
        const std::uint64_t x = i < version.release.size() ? version.release[i] : 0;
        if (x != prefix.release[i]) return false;
    }
    return true;
}

// A wildcard prefix holds an epoch and release numbers only.
std::optional<Version> parse_wildcard_prefix(std::string_view spec) {
    std::optional<Version> prefix = parse_version(spec.substr(0, spec.size() - 2));
    if (!prefix || prefix->pre || prefix->post || prefix->dev || !prefix->local.empty()) return std::nullopt;
    return prefix;
}

bool less_than(const Version& version, const Version& spec) {
    if (compare_versions(version, spec) >= 0) return false;
    // "<1.0" does not admit 1.0rc1 unless the bound is a pre-release itself.
    return !(!spec.is_prerelease() && version.is_prerelease() &&
             compare_versions(version.base_version(), spec.base_version()) == 0);
}

bool greater_than(const Version& version, const Version& spec) {
    if (compare_versions(version, spec) <= 0) return false;
    // ">1.0" admits neither 1.0.post1 (unless the bound is a post-release) nor 1.0+local.
    const bool same_base = compare_versions(version.base_version(), spec.base_version()) == 0;
    if (!spec.is_postrelease() && version.is_postrelease() && same_base) return false;
    return !(!version.local.empty() && same_base);
}

// A version plain_release_numbers accepts, `numbers` numbers long: what the
// general grammar makes of it, read without it.
Version plain_release(std::string_view text, std::size_t numbers) {
    Version v;
    v.release.reserve(numbers);
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c == '.') {
            v.release.push_back(value);
            value = 0;
        } else {
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
        }
    }
    v.release.push_back(value);
    return v;
}

}  // namespace

Version Version::public_version() const {
    Version copy = *this;
    copy.local.clear();
    return copy;
}

Version Version::base_version() const {
    Version base;
    base.epoch = epoch;
    base.release = release;
    return base;
}

std::optional<Version> parse_version(std::string_view text) {
    text = text::strip(text);
    // Most installed and required versions are plain release numbers.
    if (const std::size_t numbers = plain_release_numbers(text)) return plain_release(text, numbers);
    Cursor c{text};
    Version v;
    c.take('v');
    if (!parse_release(c, v)) return std::nullopt;
    // Most versions are release numbers only: nothing more to look for.
    if (!c.at_end()) {
        parse_pre(c, v);
        parse_post(c, v);
        parse_dev(c, v);
    }
    if (!parse_local(c, v) || !c.at_end() || c.overflow) return std::nullopt;
    return v;
}

std::string normal_form(const Version& version) {
    std::string text;
    if (version.epoch != 0) text += std::to_string(version.epoch) + "!";
    for (std::size_t i = 0; i < version.release.size(); ++i) {
        if (i > 0) text += '.';
        text += std::to_string(version.release[i]);
    }
    if (version.pre) {
        static constexpr const char* LABELS[] = {"a", "b", "rc"};
        text += LABELS[static_cast<int>(version.pre->kind)];
        text += std::to_string(version.pre->number);
    }
    if (version.post) text += ".post" + std::to_string(*version.post);
    if (version.dev) text += ".dev" + std::to_string(*version.dev);
    for (std::size_t i = 0; i < version.local.size(); ++i) {
        text += i == 0 ? '+' : '.';
        // A numeric local segment is a number: "001" is written "1".
        const std::string& segment = version.local[i];
        if (all_digits(segment)) {
            const std::size_t first = segment.find_first_not_of('0');
            text += first == std::string::npos ? "0" : segment.substr(first);
        } else {
            text += segment;
        }
    }
    return text;
}

int compare_versions(const Version& a, const Version& b) {
    if (int r = compare_numbers(a.epoch, b.epoch)) return r;
    if (int r = compare_release(a.release, b.release)) return r;
    if (int r = compare_pre(a, b)) return r;
    if (int r = compare_optional(a.post, b.post, -1)) return r;  // no post sorts first
    if (int r = compare_optional(a.dev, b.dev, 1)) return r;     // no dev sorts last
    return compare_local(a.local, b.local);
}

std::optional<VersionClause> parse_version_clause(VersionOperator op, std::string_view spec) {
    spec = text::strip(spec);
    const bool equality = op == VersionOperator::Equal || op == VersionOperator::NotEqual;
    if (ends_with_wildcard(spec)) {
        if (!equality) return std::nullopt;
        std::optional<Version> prefix = parse_wildcard_prefix(spec);
        if (!prefix) return std::nullopt;
        return VersionClause{op, std::move(*prefix), true};
    }
    std::optional<Version> bound = parse_version(spec);
    if (!bound) return std::nullopt;
    if (!bound->local.empty() && !equality) return std::nullopt;
    if (op == VersionOperator::Compatible && bound->release.size() < 2) return std::nullopt;
    return VersionClause{op, std::move(*bound), false};
}

bool is_valid_specifier(VersionOperator op, std::string_view spec) {
    // Nearly every clause of installed metadata names a plain release
    // ("1.0"): valid after every operator, "~=" wanting two numbers.
    if (const std::size_t numbers = plain_release_numbers(spec)) {
        return op != VersionOperator::Compatible || numbers >= 2;
    }
    return parse_version_clause(op, spec).has_value();
}

std::optional<bool> version_satisfies(const Version& version, VersionOperator op, std::string_view spec) {
    const std::optional<VersionClause> clause = parse_version_clause(op, spec);
    if (!clause) return std::nullopt;
    return version_satisfies(version, *clause);
}

bool version_satisfies(const Version& version, const VersionClause& clause) {
    const Version& bound = clause.bound;
    if (clause.wildcard) {
        const bool match = matches_prefix(version, bound);
        return clause.op == VersionOperator::Equal ? match : !match;
    }
    // Only a bound with a local label compares local labels.
    const auto compare = [&] {
        return bound.local.empty() && !version.local.empty() ? compare_versions(version.public_version(), bound)
                                                             : compare_versions(version, bound);
    };
    switch (clause.op) {
        case VersionOperator::Equal:
            return compare() == 0;
        case VersionOperator::NotEqual:
            return compare() != 0;
        case VersionOperator::LessEqual:
            return compare() <= 0;
        case VersionOperator::GreaterEqual:
            return compare() >= 0;
        case VersionOperator::Less:
            return less_than(version, bound);
        case VersionOperator::Greater:
            return greater_than(version, bound);
        case VersionOperator::Compatible: {
            Version prefix = bound.base_version();
            prefix.release.pop_back();
            return compare() >= 0 && matches_prefix(version, prefix);
        }
    }
    return false;
}

std::size_t plain_release_numbers(std::string_view text) {
    const char* const end = text.data() + text.size();
    std::size_t numbers = 0;
    if (plain_release_end(
            text.data(), [end](const char* at) { return at == end; }, &numbers) != end)
        return 0;
    return numbers;
}

}  // namespace quorl
