#include "files/TWRecordPath.h"

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

// The folder part this thread made or shared last; holds one reference.
struct LastFolder {
    void* part = nullptr;
    void (*release)(void*) = nullptr;
    ~LastFolder() {
        if (part) release(part);
    }
};
thread_local LastFolder lastFolder;

}  // namespace

TWRecordPath::Part* TWRecordPath::makePart(std::string_view text) {
    if (text.size() > std::numeric_limits<uint32_t>::max()) throw std::length_error("path too long");
    void* room = ::operator new(sizeof(Part) + text.size());
    Part* part = new (room) Part{{1}, static_cast<uint32_t>(text.size())};
    if (!text.empty()) std::memcpy(reinterpret_cast<char*>(part + 1), text.data(), text.size());
    return part;
}

void TWRecordPath::retain(Part* part) {
    if (part) part->references.fetch_add(1, std::memory_order_relaxed);
}

void TWRecordPath::release(Part* part) {
    if (part && part->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        part->~Part();
        ::operator delete(part);
    }
}

TWRecordPath::Part* TWRecordPath::sharedFolder(std::string_view text) {
    auto* last = static_cast<Part*>(lastFolder.part);
    if (last && last->view() == text) {
        retain(last);
        return last;
    }
    Part* made = makePart(text);
    retain(made);  // the thread's own reference
    if (last) release(last);
    lastFolder.part = made;
    lastFolder.release = [](void* part) { release(static_cast<Part*>(part)); };
    return made;
}

TWRecordPath::TWRecordPath(std::string_view path) {
    const size_t nameAt = nameStart(path);
    if (nameAt > 0) folder_ = sharedFolder(path.substr(0, nameAt));
    try {
        if (nameAt < path.size()) name_ = makePart(path.substr(nameAt));
    } catch (...) {
        release(folder_);
        throw;
    }
}

TWRecordPath::TWRecordPath(const TWRecordPath& folder, std::string_view name) : folder_(folder.folder_) {
    retain(folder_);
    try {
        if (!name.empty()) name_ = makePart(name);
    } catch (...) {
        release(folder_);
        throw;
    }
}

TWRecordPath TWRecordPath::ofFolder(std::string_view folderWithSlash) {
    TWRecordPath path;
    if (!folderWithSlash.empty()) path.folder_ = makePart(folderWithSlash);
    return path;
}

TWRecordPath::TWRecordPath(const TWRecordPath& other) : folder_(other.folder_), name_(other.name_) {
    // The name is never changed either: it is shared as well.
    retain(folder_);
    retain(name_);
}

TWRecordPath::TWRecordPath(TWRecordPath&& other) noexcept
    : folder_(std::exchange(other.folder_, nullptr)), name_(std::exchange(other.name_, nullptr)) {}

TWRecordPath& TWRecordPath::operator=(TWRecordPath other) noexcept {
    std::swap(folder_, other.folder_);
    std::swap(name_, other.name_);
    return *this;
}

TWRecordPath::~TWRecordPath() {
    release(folder_);
    release(name_);
}

std::string_view TWRecordPath::folder() const {
    return folder_ ? folder_->view() : std::string_view();
}

std::string_view TWRecordPath::name() const {
    return name_ ? name_->view() : std::string_view();
}

std::string TWRecordPath::str() const {
    const std::string_view head = folder();
    const std::string_view tail = name();
    std::string path;
    path.reserve(head.size() + tail.size());
    path.append(head).append(tail);
    return path;
}

bool TWRecordPath::operator==(const TWRecordPath& other) const {
    // Equal texts split at the same "/", so their parts are equal too.
    return (folder_ == other.folder_ || folder() == other.folder()) && name() == other.name();
}

bool TWRecordPath::operator==(std::string_view path) const {
    const std::string_view head = folder();
    return path.size() == head.size() + name().size() && path.substr(0, head.size()) == head &&
           path.substr(head.size()) == name();
}
