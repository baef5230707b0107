// An insertion-ordered set: iteration follows first insertion, a repeated
// insert keeps the first position. Lookups are hashed.
#pragma once

#include <cstddef>
#include <functional>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quorl {

template <typename T, typename Hash = std::hash<T>>
class OrderedSet {
public:
    OrderedSet() = default;
    template <typename Range>
    explicit OrderedSet(const Range& items) {
        for (const auto& item : items) insert(item);
    }

    // Returns true when the value was not yet present.
    bool insert(const T& value) {
        if (!index_.insert(value).second) return false;
        items_.push_back(value);
        return true;
    }

    // Room for `count` values without growing or rehashing.
    void reserve(std::size_t count) {
        items_.reserve(count);
        index_.reserve(count);
    }

    bool contains(const T& value) const { return index_.count(value) != 0; }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }

    const std::vector<T>& items() const { return items_; }
    // The values in order, moved out without a copy; the set is left empty
    // and its index freed.
    std::vector<T> take_items() && {
        index_ = {};
        return std::move(items_);
    }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    bool operator==(const OrderedSet& other) const { return items_ == other.items_; }

private:
    std::vector<T> items_;
    std::unordered_set<T, Hash> index_;
};

}  // namespace quorl
