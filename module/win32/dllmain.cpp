// The library entry of the Windows build. Declared here rather than taken
// from the system headers, which only the platform layer includes.
#include "kxr/httpd2_export.h"

extern "C" __declspec(dllimport) int __stdcall DisableThreadLibraryCalls(void* module);

namespace {
constexpr unsigned long kProcessAttach = 1;
}

// The module starts a thread per connection; it needs no notice of them.
extern "C" KXRHTTPD2_EXPORT int __stdcall DllMain(void* module, unsigned long reason,
                                                  void* /*reserved*/) {
    if (reason == kProcessAttach) {
        DisableThreadLibraryCalls(module);
    }
    return 1;
}
