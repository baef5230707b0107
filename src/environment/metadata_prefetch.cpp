#include "environment/metadata_prefetch.h"

#include <utility>

#include "support/signals.h"

namespace quorl {
namespace {

constexpr std::size_t NONE = static_cast<std::size_t>(-1);

// How far the worker may read ahead of the caller, in bytes of header text:
// each block is bounded (4 MiB), a directory of them is not.
constexpr std::size_t MAX_HELD_BYTES = std::size_t{16} << 20;

std::size_t text_size(const HeaderRead& read) { return read.text ? read.text->size() : 0; }

}  // namespace

MetadataPrefetch::MetadataPrefetch(int directory_fd, std::vector<std::string_view> names, const char* file)
    : directory_fd_(directory_fd), names_(std::move(names)), file_(file), slots_(names_.size()), awaited_(NONE) {
    if (names_.size() < MIN_FILES) return;
    // Without a thread to be had, take() reads every file itself.
    worker_.emplace([this] { run(); });
}

MetadataPrefetch::~MetadataPrefetch() {
    if (!worker_ || !worker_->started()) return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    drained_.notify_one();
    worker_->wait();
}

MetadataPrefetch::Slot MetadataPrefetch::read_one(std::size_t index, std::string& path) const {
    Slot slot;
    try {
        path.assign(names_[index]).append("/").append(file_);
        slot.read = read_header_block(directory_fd_, path.c_str());
    } catch (...) {
        slot.failure = std::current_exception();
    }
    slot.ready = true;
    return slot;
}

// The next file nobody reads yet, now the caller's to read; NONE when every
// file is taken up or the worker is to stop.
std::size_t MetadataPrefetch::claim() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stop_ || next_ == names_.size()) return NONE;
    return next_++;
}

void MetadataPrefetch::publish(std::size_t index, Slot slot) {
    bool wake_caller = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        held_bytes_ += text_size(slot.read);
        slots_[index] = std::move(slot);
        wake_caller = awaited_ == index;
    }
    if (wake_caller) filled_.notify_one();
}

void MetadataPrefetch::run() {
    std::string path;
    for (std::size_t index = claim(); index != NONE; index = claim()) {
        publish(index, read_one(index, path));
        std::unique_lock<std::mutex> lock(mutex_);
        if (held_bytes_ <= MAX_HELD_BYTES) continue;
        worker_waits_ = true;
        drained_.wait(lock, [this] { return stop_ || held_bytes_ <= MAX_HELD_BYTES; });
        worker_waits_ = false;
    }
}

HeaderRead MetadataPrefetch::take(std::size_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!slots_[index].ready) {
        if (next_ < names_.size() && held_bytes_ <= MAX_HELD_BYTES) {
            // Read the next file nobody has taken up, rather than wait.
            const std::size_t claimed = next_++;
            lock.unlock();
            publish(claimed, read_one(claimed, caller_path_));
            lock.lock();
            continue;
        }
        // The worker reads this one, and nothing else is to be read now.
        awaited_ = index;
        filled_.wait(lock, [&] { return slots_[index].ready; });
        awaited_ = NONE;
    }
    Slot slot = std::move(slots_[index]);
    held_bytes_ -= text_size(slot.read);
    const bool wake_worker = worker_waits_ && held_bytes_ <= MAX_HELD_BYTES;
    lock.unlock();
    if (wake_worker) drained_.notify_one();
    signals::throw_if_interrupted();
    if (slot.failure) std::rethrow_exception(slot.failure);
    return std::move(slot.read);
}

}  // namespace quorl
