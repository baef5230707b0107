#include "groups/group_input.h"

#include "support/logging.h"

namespace quorl {

const std::string& validate_extra_name(const std::string& extra) {
    if (extra.find('_') != std::string::npos) {
        log::warning("Extra " + extra + " should be using kebab-case, see https://peps.python.org/pep-0685/");
    }
    return extra;
}

std::string GroupInput::name_should_be_valid_extra(std::string name) {
    validate_extra_name(name);
    return name;
}

GroupInput::GroupInput(std::filesystem::path requirements_path, std::string name, std::vector<std::string> groups)
    : requirements_path_(std::move(requirements_path)),
      name_(name_should_be_valid_extra(std::move(name))),
      groups_(std::move(groups)) {}

void GroupInput::set_name(std::string name) { name_ = name_should_be_valid_extra(std::move(name)); }

}  // namespace quorl
