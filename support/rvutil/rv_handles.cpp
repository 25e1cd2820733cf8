#include "rv_handles.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace rvutil {

namespace {

std::mutex tableLock;
std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>>& Table() {
    static auto* table = new std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>>();
    return *table;
}
// Multiples of four from here on, like the platform's own handles; numbers
// are never given out twice, so an old handle cannot name a new object.
uintptr_t nextHandle = 0x1000;

uintptr_t Key(RVHANDLE handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

} // namespace

RVHANDLE RegisterHandle(std::shared_ptr<HandleObject> object) {
    if (!object)
        return nullptr;
    std::lock_guard<std::mutex> lock(tableLock);
    if (nextHandle > UINTPTR_MAX - 8)
        return nullptr;
    const uintptr_t key = nextHandle;
    nextHandle += 4;
    Table().emplace(key, std::move(object));
    return reinterpret_cast<RVHANDLE>(key);
}

std::shared_ptr<HandleObject> LookupHandle(RVHANDLE handle, HandleKind kind) {
    std::lock_guard<std::mutex> lock(tableLock);
    const auto it = Table().find(Key(handle));
    if (it == Table().end() || it->second->kind != kind)
        return nullptr;
    return it->second;
}

std::shared_ptr<HandleObject> ReleaseHandle(RVHANDLE handle, HandleKind kind) {
    std::lock_guard<std::mutex> lock(tableLock);
    const auto it = Table().find(Key(handle));
    if (it == Table().end() || it->second->kind != kind)
        return nullptr;
    std::shared_ptr<HandleObject> object = std::move(it->second);
    Table().erase(it);
    return object;
}

} // namespace rvutil
