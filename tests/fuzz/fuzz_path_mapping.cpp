// The locator translations and the sequence-name forms on arbitrary text, in
// buffers of the size the input chooses, against a small fixed root table.
// Every rewrite must stay inside its buffer and leave it terminated.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "files/file_roots.h"
#include "fuzz_check.h"
#include "kxr/rvutil.h"
#include "module/check_virtual.h"

static bool SetUpRoots() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "kxr_fuzz_path_mapping";
    fs::create_directories(dir / "media" / "seq");
    fs::create_directories(dir / "rec");
    std::ofstream(dir / "media" / "seq" / "clip0001.dpx", std::ios::binary)
        << std::string("SDPX") + std::string(60, '\0');
    std::ofstream(dir / "media" / "a.mov", std::ios::binary) << "movie";
    std::ofstream(dir / "kxr.toml")
        << "[KXR.Internal0]\nDir = 'E:\\Record'\n\n[KXR.NetServer.FileDirs]\nMedia = '"
        << (dir / "media").string() << "'\nM = '" << (dir / "rec").string() << "'\n\"\\\\Long\" = '"
        << (dir / "media" / "seq").string() << "'\n";
    rvCFGOpen((dir / "kxr.toml").string().c_str());
    kxr::FreeFileRoots(nullptr);
    kxr::LoadFileRoots(nullptr);
    return true;
}

void Fuzz(const uint8_t* data, size_t size) {
    static const bool ready = SetUpRoots();
    if (!ready || size < 2)
        return;
    // First two bytes: the buffer's capacity (1 to 700) and which operations.
    const size_t capacity = 1 + (static_cast<size_t>(data[0]) * 256 + data[1]) % 700;
    const uint8_t* text = data + 2;
    const size_t length = std::min(size - 2, capacity - 1);
    // Exactly capacity bytes, so that any write past them is caught.
    std::unique_ptr<char[]> buffer(new char[capacity]());
    char* b = buffer.get();
    std::memcpy(b, text, length);
    const size_t before = strnlen(b, capacity);

    const unsigned which = data[1];
    if (which & 1)
        kxr::NormalizeVirtualPath(nullptr, b);
    Require(strnlen(b, capacity) <= before);
    kxr::MapLocatorToPath(nullptr, b, capacity);
    RequireTerminated(b, capacity);
    if (which & 2)
        kxr::MapPathToLocator(nullptr, b, capacity);
    RequireTerminated(b, capacity);
    // Dropping the brackets always shortens the text.
    const size_t mapped = strnlen(b, capacity);
    Require(kxr::SequenceFramePath(nullptr, b, (which & 4) != 0) != 1 ||
            strnlen(b, capacity) < mapped);
    if (which & 8)
        kxr::SequenceRangePath(nullptr, b, capacity);
    RequireTerminated(b, capacity);
    if (which & 16)
        kxr::SequenceWildcardPath(nullptr, b, capacity);
    RequireTerminated(b, capacity);
    if (which & 32 && length > 1) {
        const char pattern[3] = {static_cast<char>(text[0]), static_cast<char>(text[1]), '\0'};
        kxr::ReplaceText(b, pattern, static_cast<char>(text[0]));
    }
    RequireTerminated(b, capacity);

    // The export, as the server calls it with its 256-byte copy.
    char path[256] = {};
    std::memcpy(path, text, std::min(size - 2, sizeof path - 1));
    kxr::kxrCheckVirtual(path);
    RequireTerminated(path, sizeof path);
}
