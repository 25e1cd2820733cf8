// Loading shared libraries at run time, for code that binds a library by
// name or by ordinal after start-up.
#ifndef KXR_PLATFORM_DYNLIB_H
#define KXR_PLATFORM_DYNLIB_H

#include <string>

namespace kxr::platform {

// Loads the library with every symbol resolved now and kept private to it.
// Null on failure; SharedLibraryError then says why.
void* LoadSharedLibrary(const char* path);
// Null when the library has no such symbol.
void* SharedLibrarySymbol(void* lib, const char* name);
// The entry that the library exports under an ordinal number (1 to 65535).
// Windows libraries may export by number alone; POSIX libraries have no
// ordinals, so there this is always null and a library that binds by
// number exports one resolver by name instead.
void* SharedLibraryOrdinal(void* lib, unsigned ordinal);
// Accepts null.
void FreeSharedLibrary(void* lib);
// The reason of the calling thread's last failure, or an empty text.
std::string SharedLibraryError();

} // namespace kxr::platform

#endif
