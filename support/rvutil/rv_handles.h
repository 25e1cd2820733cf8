// The table behind every RVHANDLE: handles are numbers, never pointers, so a
// stale or foreign handle is refused instead of followed.
#ifndef KXR_RVUTIL_HANDLES_H
#define KXR_RVUTIL_HANDLES_H

#include "kxr/rvutil.h"

#include <memory>

namespace rvutil {

enum class HandleKind { Thread, File, Search };

struct HandleObject {
    explicit HandleObject(HandleKind k) : kind(k) {}
    virtual ~HandleObject() = default;
    const HandleKind kind;
};

// A new handle for the object; 0 when the table is exhausted.
RVHANDLE RegisterHandle(std::shared_ptr<HandleObject> object);
// The object when the handle names one of that kind, else null.
std::shared_ptr<HandleObject> LookupHandle(RVHANDLE handle, HandleKind kind);
// Removes the handle and returns its object (null when it named none of that kind).
std::shared_ptr<HandleObject> ReleaseHandle(RVHANDLE handle, HandleKind kind);

template <class T> std::shared_ptr<T> Lookup(RVHANDLE handle) {
    return std::static_pointer_cast<T>(LookupHandle(handle, T::kKind));
}

} // namespace rvutil

#endif
