// An environment whose distributions are listed once and then served from
// memory, so that the dependency map and the release consistency checks see
// the same listing without reading the metadata twice.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "python/environment_reader.h"

namespace quorl {

class ListedEnvironment : public EnvironmentReader {
public:
    // Keeps a reference: `source` must outlive this reader. Nothing is read
    // until the first call, so a listing failure surfaces where the reader is
    // used, as with `source` itself.
    explicit ListedEnvironment(const EnvironmentReader& source) : source_(source) {}

    // The source's listing, read on the first call; copies of it after.
    std::vector<Distribution> list_distributions() const override { return distributions(); }
    std::optional<Distribution> find_distribution(std::string_view name) const override;
    const MarkerEnvironment& marker_environment() const override { return source_.marker_environment(); }

    // The listing itself (read on the first call), sorted by key.
    const std::vector<Distribution>& distributions() const;

private:
    const EnvironmentReader& source_;
    mutable std::optional<std::vector<Distribution>> listed_;
};

}  // namespace quorl
