// PipCompileSupportedConfig: the closed list of pip-compile options the tool
// may emit; each member's text value is the exact option string.
#pragma once

#include <string_view>

namespace quorl {

enum class PipCompileSupportedConfig {
    QUIET,
    NO_ANNOTATE,
    NO_HEADER,
    NO_EMIT_FIND_LINKS,
    NO_EMIT_INDEX_URL,
    NO_EMIT_OPTIONS,
    NO_EMIT_TRUSTED_HOST,
    STRIP_EXTRAS,
    OUTPUT_FILE,
    INDEX_URL,
    EXTRA_INDEX_URL,
    TRUSTED_HOST,
};

// The option string of `key`; empty for a value outside the enumeration.
constexpr std::string_view value(PipCompileSupportedConfig key) {
    switch (key) {
        case PipCompileSupportedConfig::QUIET:
            return "-q";
        case PipCompileSupportedConfig::NO_ANNOTATE:
            return "--no-annotate";
        case PipCompileSupportedConfig::NO_HEADER:
            return "--no-header";
        case PipCompileSupportedConfig::NO_EMIT_FIND_LINKS:
            return "--no-emit-find-links";
        case PipCompileSupportedConfig::NO_EMIT_INDEX_URL:
            return "--no-emit-index-url";
        case PipCompileSupportedConfig::NO_EMIT_OPTIONS:
            return "--no-emit-options";
        case PipCompileSupportedConfig::NO_EMIT_TRUSTED_HOST:
            return "--no-emit-trusted-host";
        case PipCompileSupportedConfig::STRIP_EXTRAS:
            return "--strip-extras";
        case PipCompileSupportedConfig::OUTPUT_FILE:
            return "--output-file";
        case PipCompileSupportedConfig::INDEX_URL:
            return "--index-url";
        case PipCompileSupportedConfig::EXTRA_INDEX_URL:
            return "--extra-index-url";
        case PipCompileSupportedConfig::TRUSTED_HOST:
            return "--trusted-host";
    }
    return "";
}

// A member compares equal to its own text value.
constexpr bool operator==(PipCompileSupportedConfig key, std::string_view text) { return value(key) == text; }

}  // namespace quorl
