// Large structures that a command needs until the process ends, handed to
// the operating system at exit instead of being freed one allocation at a
// time: the environment's map and metadata are some hundred thousand small
// blocks, and freeing them cost a few percent of a whole run only to
// return memory that the exit returns anyway.
//
// Only for what a process builds once (one command per process): every call
// keeps its value for good. The values stay reachable from a static list,
// so leak checkers do not report them; their destructors never run, so they
// must own nothing but memory (no file, no temporary directory).
#pragma once

#include <memory>
#include <vector>

namespace quorl {

namespace detail {
inline std::vector<const void*>& kept_until_exit() {
    static auto* kept = new std::vector<const void*>();  // never destroyed, on purpose
    return *kept;
}
}  // namespace detail

template <typename T>
T& keep_until_exit(std::unique_ptr<T> value) {
    T* kept = value.get();
    detail::kept_until_exit().push_back(kept);
    value.release();
    return *kept;
}

}  // namespace quorl
