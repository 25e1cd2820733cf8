// Critical sections: recursive locks, so the owner may enter again.
#include "kxr/rvutil.h"

#include <mutex>
#include <new>

namespace {

std::recursive_mutex* Lock(RVCriticalSection* section) {
    return section != nullptr ? static_cast<std::recursive_mutex*>(section->impl) : nullptr;
}

} // namespace

extern "C" {

void rvOSInitializeCriticalSection(RVCriticalSection* section) {
    if (section != nullptr)
        section->impl = new (std::nothrow) std::recursive_mutex();
}

void rvOSEnterCriticalSection(RVCriticalSection* section) {
    if (auto* lock = Lock(section))
        lock->lock();
}

void rvOSLeaveCriticalSection(RVCriticalSection* section) {
    if (auto* lock = Lock(section))
        lock->unlock();
}

void rvOSDeleteCriticalSection(RVCriticalSection* section) {
    if (section == nullptr)
        return;
    delete Lock(section);
    section->impl = nullptr;
}

} // extern "C"
