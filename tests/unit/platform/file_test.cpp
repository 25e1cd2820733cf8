#include "platform/kxr_file.h"
#include "platform/kxr_path.h"
#include "platform/kxr_time.h"
#include "test_dir.h"

#ifdef _WIN32
#include "platform/win32/win32.h"
#else
#include "tests/support/fifo.h"

#include <sys/socket.h>
#include <sys/un.h>
#endif

#include <string>
#include <tuple>
#include <vector>

namespace kp = kxr::platform;
namespace fs = std::filesystem;

using PlatformFile = TempDirTest;

TEST_F(PlatformFile, StatusKindsAttributesAndTimes) {
    WriteFile("plain.txt", "12345");
    WriteFile(".hidden", "x");
    WriteFile("locked.txt", "y");
    fs::permissions(Path("locked.txt"), fs::perms::owner_read | fs::perms::group_read);
    fs::create_directory(Path("sub"));

    const std::tuple<const char*, kp::FileKind, uint32_t, uint64_t> rows[] = {
        {"plain.txt", kp::FileKind::Regular, kp::kAttrArchive, 5},
        {".hidden", kp::FileKind::Regular, kp::kAttrArchive | kp::kAttrHidden, 1},
        {"locked.txt", kp::FileKind::Regular, kp::kAttrArchive | kp::kAttrReadOnly, 1},
        {"sub", kp::FileKind::Directory, kp::kAttrDirectory, 0},
    };
    for (const auto& [name, kind, attributes, size] : rows) {
        kp::FileStatus status;
        ASSERT_TRUE(kp::QueryFileStatus(Path(name).c_str(), &status)) << name;
        EXPECT_TRUE(status.kind == kind) << name;
        EXPECT_EQ(status.attributes, attributes) << name;
        EXPECT_EQ(status.size, size) << name;
        EXPECT_TRUE(status.lastWriteTime != 0 && status.creationTime != 0) << name;
    }
    kp::FileStatus status;
    status.kind = kp::FileKind::Regular;
    EXPECT_FALSE(kp::QueryFileStatus(Path("nothing").c_str(), &status));
    EXPECT_TRUE(status.kind == kp::FileKind::Missing);

    // The modification time is the file's own, not the time of the query.
    fs::last_write_time(Path("plain.txt"),
                        fs::file_time_type::clock::now() - std::chrono::hours(48));
    ASSERT_TRUE(kp::QueryFileStatus(Path("plain.txt").c_str(), &status));
    EXPECT_NEAR(kp::UnixTimeNow() - kp::UnixFromFileTime(status.lastWriteTime), 48 * 3600, 5);
}

// Whether path opens for access with disposition, the handle closed again.
bool Opens(const std::string& path, uint32_t access, kp::FileDisposition disposition) {
    const kp::FileHandle file = kp::FileOpen(path.c_str(), access, disposition);
    return file != kp::kInvalidFile && kp::FileClose(file);
}

constexpr uint32_t kAccesses[] = {kp::kFileRead, kp::kFileWrite, kp::kFileRead | kp::kFileWrite};

#ifndef _WIN32
// Only regular files open, and no open waits: not for a FIFO nobody writes
// to or reads from, whatever the access or the disposition.
TEST_F(PlatformFile, FifosSocketsAndDevicesNeverOpen) {
    const kxrtest::Fifo fifo(Path("feed"));
    ASSERT_TRUE(fifo.Made());
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = Path("sock");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    std::vector<std::string> opened;
    EXPECT_TRUE(fifo.ReturnsPromptly([&] {
        for (const std::string& path : {fifo.Path(), socketPath, std::string("/dev/null")})
            for (const uint32_t access : kAccesses)
                for (const auto disposition :
                     {kp::FileDisposition::OpenExisting, kp::FileDisposition::OpenAlways,
                      kp::FileDisposition::CreateAlways, kp::FileDisposition::TruncateExisting})
                    if (Opens(path, access, disposition))
                        opened.push_back(path);
    }));
    close(listener);
    EXPECT_TRUE(opened.empty()) << opened.front();

    // Still seen, as something other than a file.
    kp::FileStatus status;
    ASSERT_TRUE(kp::QueryFileStatus(fifo.Path().c_str(), &status));
    EXPECT_TRUE(status.kind == kp::FileKind::Other);
    std::vector<kp::DirEntry> entries;
    ASSERT_TRUE(kp::ListDirectory(Path("*").c_str(), &entries));
    ASSERT_EQ(entries.size(), 4u); // ".", "..", "feed", "sock"
    EXPECT_EQ(entries[2].name, "feed");
    EXPECT_TRUE(entries[2].status.kind == kp::FileKind::Other);
}
#else
// Devices and pipes open as handles too, and opening some of them waits or
// acts on the device: none is even tried, whatever the folder or extension.
TEST_F(PlatformFile, DevicesAndPipesNeverOpen) {
    const std::string pipe =
        "\\\\.\\pipe\\kxr_platform_test_" + std::to_string(GetCurrentProcessId());
    const HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX,
                                           PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT, 1,
                                           4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const std::string names[] = {pipe,         "//./pipe/kxr_platform_none",
                                 "NUL",        "con",
                                 "COM1.txt",   "lpt2",
                                 "\\\\.\\NUL", "\\\\?\\GLOBALROOT\\Device\\Null",
                                 Path("nul"),  Path("Aux.log")};
    for (const std::string& name : names)
        for (const uint32_t access : kAccesses)
            EXPECT_FALSE(Opens(name, access, kp::FileDisposition::OpenExisting)) << name;
    // No client ever reached the pipe.
    EXPECT_FALSE(ConnectNamedPipe(server, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING));
    CloseHandle(server);

    // Names that only begin like a device are files; so are long spellings.
    WriteFile("nullable.txt", "x");
    WriteFile("con1", "y");
    for (const char* name : {"nullable.txt", "con1"})
        EXPECT_TRUE(Opens(Path(name), kp::kFileRead, kp::FileDisposition::OpenExisting)) << name;
    EXPECT_TRUE(Opens("\\\\?\\" + fs::absolute(Path("con1")).string(), kp::kFileRead,
                      kp::FileDisposition::OpenExisting));
}
#endif

TEST_F(PlatformFile, CopyKeepsTheTimeAndNeverTruncatesItsSource) {
    std::string big(200000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    WriteFile("source.bin", big);
    fs::last_write_time(Path("source.bin"),
                        fs::file_time_type::clock::now() - std::chrono::hours(5));
    WriteFile("target.bin", "previous");

    EXPECT_FALSE(kp::FileCopy(Path("source.bin").c_str(), Path("target.bin").c_str(), true));
    EXPECT_EQ(ReadFile("target.bin"), "previous");
    ASSERT_TRUE(kp::FileCopy(Path("source.bin").c_str(), Path("target.bin").c_str(), false));
    EXPECT_EQ(ReadFile("target.bin"), big);
    EXPECT_EQ(fs::last_write_time(Path("target.bin")), fs::last_write_time(Path("source.bin")));
    // A copy onto itself would truncate the only copy.
    EXPECT_FALSE(kp::FileCopy(Path("source.bin").c_str(), Path("source.bin").c_str(), false));
    EXPECT_EQ(ReadFile("source.bin"), big);
    EXPECT_FALSE(kp::FileCopy(Path("absent").c_str(), Path("other").c_str(), false));
    EXPECT_FALSE(fs::exists(Path("other")));
}

TEST_F(PlatformFile, MadeDirectoryCanBeEnteredAndMadeCurrent) {
    ASSERT_TRUE(kp::DirectoryMake(Path("made").c_str(), 0666));
    EXPECT_FALSE(kp::DirectoryMake(Path("made").c_str(), 0666));
    EXPECT_FALSE(kp::DirectoryMake(Path("no/such/parent").c_str(), 0777));
    // Read permission without search permission would make the directory
    // useless: files could neither be created in it nor found.
    WriteFile("made/inside.txt", "in");
    EXPECT_EQ(ReadFile("made/inside.txt"), "in");
    EXPECT_NE(fs::status(Path("made")).permissions() & fs::perms::owner_exec, fs::perms::none);
    // Backslashes separate components too.
    const std::string before = kp::DirectoryCurrent();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(kp::DirectoryChange(Backslashed(Path("made")).c_str()));
    EXPECT_EQ(fs::path(kp::DirectoryCurrent()), fs::canonical(Path("made")));
    EXPECT_FALSE(kp::DirectoryChange(Path("absent").c_str()));
    ASSERT_TRUE(kp::DirectoryChange(before.c_str()));
}
