// Positions of keys that a caller keeps in a vector, found by their hash:
// an open-addressing table of (hash, position) pairs. It holds no copy of a
// key and allocates nothing per key, which a node-based map of copies does
// twice for every key longer than a few bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace quorl {

class HashIndex {
public:
    // The position stored under `hash` that `is_key(position)` accepts.
    template <typename IsKey>
    std::optional<std::size_t> find(std::size_t hash, IsKey is_key) const {
        if (slots_.empty()) return std::nullopt;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            const Slot& slot = slots_[at];
            if (slot.position_plus_one == 0) return std::nullopt;
            if (slot.hash == hash && is_key(slot.position_plus_one - 1)) return slot.position_plus_one - 1;
        }
    }

    // find() for a key the caller adds when it is absent, with one probe:
    // the position `is_key` accepts, else nothing once `add()` has returned
    // the new key's position, which is stored in the free slot the probe
    // ended at. The table grows before the probe, so an `add` that throws
    // leaves the index as it was.
    template <typename IsKey, typename Add>
    std::optional<std::size_t> find_or_add(std::size_t hash, IsKey is_key, Add add) {
        make_room_for_one_more();
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = hash & mask;
        for (; slots_[at].position_plus_one != 0; at = (at + 1) & mask) {
            const Slot& slot = slots_[at];
            if (slot.hash == hash && is_key(slot.position_plus_one - 1)) return slot.position_plus_one - 1;
        }
        const std::size_t position = add();
        slots_[at] = {hash, position + 1};
        ++size_;
        return std::nullopt;
    }

    // Stores `position` under `hash`; the caller has found its key absent.
    void insert(std::size_t hash, std::size_t position) {
        make_room_for_one_more();
        place(hash, position + 1);
        ++size_;
    }

    // Room for `count` positions without growing.
    void reserve(std::size_t count) {
        std::size_t capacity = 16;
        while (capacity < 2 * count) capacity *= 2;
        if (capacity > slots_.size()) rehash(capacity);
    }

private:
    struct Slot {
        std::size_t hash = 0;
        std::size_t position_plus_one = 0;  // 0: empty
    };

    void make_room_for_one_more() {
        if (2 * (size_ + 1) > slots_.size()) rehash(slots_.empty() ? 16 : 2 * slots_.size());
    }

    // At most half the slots are taken, so a free one is always found.
    void place(std::size_t hash, std::size_t position_plus_one) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = hash & mask;
        while (slots_[at].position_plus_one != 0) at = (at + 1) & mask;
        slots_[at] = {hash, position_plus_one};
    }

    void rehash(std::size_t capacity) {  // a power of two
        std::vector<Slot> old(capacity);
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.position_plus_one != 0) place(slot.hash, slot.position_plus_one);
        }
    }

    std::vector<Slot> slots_;  // a power of two of them, or none
    std::size_t size_ = 0;
};

}  // namespace quorl
