// The locator translations and the sequence-name forms on arbitrary text, in
// buffers of the size the input chooses, against a small fixed root table.
// Every rewrite must stay inside its buffer and leave it terminated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "files/file_roots.h"
#include "kxr/rvutil.h"
#include "module/check_virtual.h"

namespace {

void SetUpRoots() {
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
}

void CheckTerminated(const char* buffer, size_t capacity) {
    if (strnlen(buffer, capacity) >= capacity) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (SetUpRoots(), true);
    (void)ready;
    if (size < 2) {
        return 0;
    }
    // First two bytes: the buffer's capacity (1 to 700) and which operations.
    const size_t capacity = 1 + (static_cast<size_t>(data[0]) * 256 + data[1]) % 700;
    const uint8_t* text = data + 2;
    size_t length = size - 2;
    if (length > capacity - 1) {
        length = capacity - 1;
    }
    // Exactly capacity bytes, so that any write past them is caught.
    std::unique_ptr<char[]> buffer(new char[capacity]());
    std::memcpy(buffer.get(), text, length);
    const size_t before = strnlen(buffer.get(), capacity);

    const unsigned which = data[1];
    if (which & 1) {
        kxr::NormalizeVirtualPath(nullptr, buffer.get());
        if (strnlen(buffer.get(), capacity) > before) {
            std::abort();
        }
    }
    kxr::MapLocatorToPath(nullptr, buffer.get(), capacity);
    CheckTerminated(buffer.get(), capacity);
    if (which & 2) {
        kxr::MapPathToLocator(nullptr, buffer.get(), capacity);
        CheckTerminated(buffer.get(), capacity);
    }
    const size_t mapped = strnlen(buffer.get(), capacity);
    if (kxr::SequenceFramePath(nullptr, buffer.get(), (which & 4) != 0) == 1 &&
        strnlen(buffer.get(), capacity) >= mapped) {
        std::abort(); // dropping the brackets always shortens the text
    }
    if (which & 8) {
        kxr::SequenceRangePath(nullptr, buffer.get(), capacity);
        CheckTerminated(buffer.get(), capacity);
    }
    if (which & 16) {
        kxr::SequenceWildcardPath(nullptr, buffer.get(), capacity);
        CheckTerminated(buffer.get(), capacity);
    }
    if (which & 32 && length > 1) {
        const char pattern[3] = {static_cast<char>(text[0]), static_cast<char>(text[1]), '\0'};
        kxr::ReplaceText(buffer.get(), pattern, static_cast<char>(text[0]));
        CheckTerminated(buffer.get(), capacity);
    }

    // The export, as the server calls it with its 256-byte copy.
    char path[256] = {};
    std::memcpy(path, text, size - 2 < sizeof path - 1 ? size - 2 : sizeof path - 1);
    kxr::kxrCheckVirtual(path);
    CheckTerminated(path, sizeof path);
    return 0;
}
