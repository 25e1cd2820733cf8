// The short (8.3) name by which Windows also knows a path, for the tests of
// names that only Windows resolves.
#ifndef KXR_TESTS_SHORT_NAME_H
#define KXR_TESTS_SHORT_NAME_H

#include <filesystem>
#include <string>

namespace kxrtest {

// The short form of an existing path; empty where the system keeps none.
std::string ShortPathOf(const std::filesystem::path& path);

} // namespace kxrtest

#endif
