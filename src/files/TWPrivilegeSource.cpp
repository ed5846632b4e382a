#include "files/TWPrivilegeSource.h"

#include <atomic>

namespace {

// Constant-initialised, so that a source installed by another file's static initialiser
// is never overwritten by this one's.
constinit std::atomic<const TWPrivilegeSource*> gInstalled{nullptr};

}  // namespace

const TWPrivilegeSource* TWPrivilegeSource::install(const TWPrivilegeSource* source) {
    return gInstalled.exchange(source, std::memory_order_acq_rel);
}

const TWPrivilegeSource* TWPrivilegeSource::installed() {
    return gInstalled.load(std::memory_order_acquire);
}
