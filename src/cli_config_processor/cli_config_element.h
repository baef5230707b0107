// CliConfigElement: one typed option of a command-line tool, keyed by a
// member of KEY_TYPE, an enumeration whose text values (found by
// `value(KEY_TYPE)`) are the tool's option strings.
#pragma once

#include <string>
#include <vector>

#include "cli_config_processor/cli_config_type.h"
#include "support/errors.h"

namespace quorl {

template <typename KEY_TYPE>
class CliConfigElement {
public:
    virtual ~CliConfigElement() = default;

    // The strings this element contributes to the command line.
    virtual std::vector<std::string> get_value() const = 0;

    CliConfigType get_type() const { return type; }

    // The option string of `key`.
    std::string key_text() const { return std::string(value(key)); }

    // Public and not re-validated on assignment: the processor sorts by
    // `type`, whatever class the element has.
    CliConfigType type;
    KEY_TYPE key;

protected:
    // Rejects a key outside the enumeration (a cast integer has no text).
    CliConfigElement(KEY_TYPE key_, CliConfigType type_) : type(type_), key(key_) {
        if (value(key).empty()) throw ValidationError("key", "not a member of the option enumeration");
    }
};

}  // namespace quorl
