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

    // A set of `items` that the caller knows to be distinct, made without
    // hashing them: the index is built only if the set is looked up or
    // added to. A release group lists thousands of packages, each once, and
    // is only read in order.
    static OrderedSet of_distinct(std::vector<T> items) {
        OrderedSet set;
        set.items_ = std::move(items);
        set.indexed_ = set.items_.empty();
        return set;
    }

    // Returns true when the value was not yet present.
    bool insert(const T& value) {
        index_all();
        if (!index_.insert(value).second) return false;
        items_.push_back(value);
        return true;
    }

    // Room for `count` values without growing or rehashing.
    void reserve(std::size_t count) {
        items_.reserve(count);
        index_.reserve(count);
    }

    bool contains(const T& value) const {
        index_all();
        return index_.count(value) != 0;
    }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }

    const std::vector<T>& items() const { return items_; }
    // The values in order, moved out without a copy; the set is left empty
    // and its index freed.
    std::vector<T> take_items() && {
        index_ = {};
        indexed_ = true;
        return std::move(items_);
    }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    bool operator==(const OrderedSet& other) const { return items_ == other.items_; }

private:
    void index_all() const {
        if (indexed_) return;
        index_.reserve(items_.size());
        index_.insert(items_.begin(), items_.end());
        indexed_ = true;
    }

    std::vector<T> items_;
    // Built on first use after of_distinct, by const look-ups too.
    mutable std::unordered_set<T, Hash> index_;
    mutable bool indexed_ = true;
};

}  // namespace quorl
