// The argument texts of the three browsing answers, parsed as the answers
// parse them, with one root loaded so that the root mapping is reached.
#include <string_view>

#include "files/browse_answers.h"
#include "files/file_roots.h"
#include "fuzz_check.h"
#include "kxr/rvutil.h"

void Fuzz(const uint8_t* data, size_t size) {
    static const bool loaded = [] {
        rvCFGOpen(nullptr);
        char value[] = "/nonexistent-kxr-fuzz-root";
        uint32_t length = 0;
        rvCFGValueString(RV_CFG_ROOT, "KXR\\Internal0", "Dir", value, &length, 1);
        kxr::LoadFileRoots(nullptr);
        return true;
    }();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const kxr::NextDirArgs next = kxr::ParseNextDirArgs(text);
    if (loaded && !next.listRoots)
        kxr::LocalDirectoryOf(next.directory);
    kxr::ParseFileInfoArgs(text);
    std::string path;
    kxr::MakeDirPath(text, &path);
}
