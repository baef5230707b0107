#include "environment/environment_read_ahead.h"

#include <fcntl.h>

#include <utility>

#include "environment/metadata.h"
#include "support/text.h"

namespace quorl {
namespace {

// The read-ahead of this run, when a command holds one.
EnvironmentReadAhead* active = nullptr;

// "3.11" of the version a pyvenv.cfg records ("version = 3.11.2", or
// "version_info = 3.11.2.final.0" as some venv makers write it).
std::optional<std::string> venv_python_version(std::string_view cfg) {
    for (const std::string& line : text::split_lines(cfg)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string_view key = text::strip(std::string_view(line).substr(0, equals));
        if (!text::equals_ignoring_case(key, "version") && !text::equals_ignoring_case(key, "version_info")) continue;
        const std::string_view value = text::strip(std::string_view(line).substr(equals + 1));
        const std::size_t major_end = value.find('.');
        if (major_end == std::string_view::npos) return std::nullopt;
        const std::size_t minor_end = value.find('.', major_end + 1);
        return std::string(value.substr(0, minor_end));
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> likely_site_packages(const std::filesystem::path& interpreter) {
    const std::filesystem::path prefix = interpreter.parent_path().parent_path();
    const std::filesystem::path cfg_path = prefix / "pyvenv.cfg";
    // Read as a header block, bounded and silent: this runs on a worker
    // thread, which must report nothing. The version line comes before any
    // blank line in the files venv makers write; when not, the guess is lost.
    const HeaderRead cfg = read_header_block(AT_FDCWD, cfg_path.c_str());
    if (!cfg.text) return std::nullopt;
    const std::optional<std::string> version = venv_python_version(*cfg.text);
    if (!version) return std::nullopt;
    return prefix / "lib" / ("python" + *version) / "site-packages";
}

EnvironmentReadAhead::EnvironmentReadAhead() {
    if (active == nullptr) active = this;
}

EnvironmentReadAhead::~EnvironmentReadAhead() {
    join();
    read_.reset();  // stops the prefetch's worker and waits for it
    if (active == this) active = nullptr;
}

void EnvironmentReadAhead::start(const std::filesystem::path& interpreter) {
    if (active == nullptr || active->started_) return;
    active->started_ = true;
    // Without a thread to be had, the environment is read as without a guess.
    active->worker_.emplace([reader = active, interpreter] { reader->read(interpreter); });
}

void EnvironmentReadAhead::read(const std::filesystem::path& interpreter) {
    // Every failure here only means there is nothing read ahead.
    try {
        const std::optional<std::filesystem::path> guess = likely_site_packages(interpreter);
        if (!guess) return;
        auto read = std::make_unique<ReadAheadDirectory>(guess->string());
        if (!read->directory.identity(read->device, read->inode)) return;
        read->listed = read->directory.listed_entries();
        read->entries = read->listed;
        sort_by_name(read->entries);
        read->prefetch =
            std::make_unique<MetadataPrefetch>(read->directory.fd(), dist_info_names(read->entries), "METADATA");
        read_ = std::move(read);
    } catch (...) {}
}

void EnvironmentReadAhead::join() {
    if (worker_) worker_->wait();  // read() throws nothing
}

std::unique_ptr<ReadAheadDirectory> EnvironmentReadAhead::take_if_same(const MetadataDirectory& directory, dev_t device,
                                                                       ino_t inode) {
    if (active == nullptr) return nullptr;
    active->join();
    std::unique_ptr<ReadAheadDirectory>& read = active->read_;
    if (!read || read->device != device || read->inode != inode) return nullptr;
    if (!directory.lists(read->listed)) {
        read.reset();  // the directory changed meanwhile: read it anew
        return nullptr;
    }
    return std::move(read);
}

void EnvironmentReadAhead::discard() {
    if (active == nullptr) return;
    active->join();
    active->read_.reset();
}

}  // namespace quorl
