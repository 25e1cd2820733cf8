#include "platform/kxr_file.h"
#include "platform/kxr_path.h"
#include "platform/kxr_time.h"
#include "test_dir.h"

#include <string>
#include <vector>

namespace kp = kxr::platform;
namespace fs = std::filesystem;

namespace {

// The same path with every separator written as a backslash.
std::string Backslashed(std::string path) {
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

} // namespace

using PlatformFile = TempDirTest;

TEST_F(PlatformFile, StatusKindsAndDerivedAttributes) {
    WriteFile("plain.txt", "12345");
    WriteFile(".hidden", "x");
    WriteFile("locked.txt", "y");
    fs::permissions(Path("locked.txt"),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::create_directory(Path("sub"));

    struct Row {
        const char* name;
        kp::FileKind kind;
        uint32_t attributes;
        uint64_t size;
    };
    const Row rows[] = {
        {"plain.txt", kp::FileKind::Regular, kp::kAttrArchive, 5},
        {".hidden", kp::FileKind::Regular, kp::kAttrArchive | kp::kAttrHidden, 1},
        {"locked.txt", kp::FileKind::Regular, kp::kAttrArchive | kp::kAttrReadOnly, 1},
        {"sub", kp::FileKind::Directory, kp::kAttrDirectory, 0},
    };
    for (const auto& row : rows) {
        kp::FileStatus status;
        ASSERT_TRUE(kp::QueryFileStatus(Path(row.name).c_str(), &status)) << row.name;
        EXPECT_EQ(status.kind, row.kind) << row.name;
        EXPECT_EQ(status.attributes, row.attributes) << row.name;
        EXPECT_EQ(status.size, row.size) << row.name;
        EXPECT_NE(status.lastWriteTime, 0u) << row.name;
        EXPECT_NE(status.creationTime, 0u) << row.name;
    }

    kp::FileStatus missing;
    missing.kind = kp::FileKind::Regular;
    EXPECT_FALSE(kp::QueryFileStatus(Path("nothing").c_str(), &missing));
    EXPECT_EQ(missing.kind, kp::FileKind::Missing);
    EXPECT_FALSE(kp::QueryFileStatus("", &missing));
    EXPECT_FALSE(kp::PathExists(nullptr));
}

TEST_F(PlatformFile, ModificationTimeIsTheFilesOwn) {
    WriteFile("dated.txt", "d");
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(Path("dated.txt"), stamp);
    kp::FileStatus status;
    ASSERT_TRUE(kp::QueryFileStatus(Path("dated.txt").c_str(), &status));
    const int64_t age = kp::UnixTimeNow() - kp::UnixFromFileTime(status.lastWriteTime);
    EXPECT_GE(age, 48 * 3600 - 5);
    EXPECT_LE(age, 48 * 3600 + 5);
}

TEST_F(PlatformFile, BackslashesSeparateComponents) {
    fs::create_directory(Path("a"));
    WriteFile("a/b.txt", "b");
    const std::string spelled = Backslashed(Path("a/b.txt"));
    EXPECT_TRUE(kp::PathExists(spelled.c_str()));
    EXPECT_TRUE(kp::PathIsDirectory(Backslashed(Path("a")).c_str()));
    EXPECT_FALSE(kp::PathIsDirectory(spelled.c_str()));
    EXPECT_EQ(kp::NativePath("x\\y/z"), kp::kPathSeparator == '/' ? "x/y/z" : "x\\y/z");
}

TEST_F(PlatformFile, OpenDispositions) {
    WriteFile("old.txt", "old contents");
    struct Row {
        const char* name;
        kp::FileDisposition disposition;
        bool opens;
        const char* contentsAfter; // null: the file must not exist afterwards
    };
    const Row rows[] = {
        {"old.txt", kp::FileDisposition::OpenExisting, true, "old contents"},
        {"new1.txt", kp::FileDisposition::OpenExisting, false, nullptr},
        {"old.txt", kp::FileDisposition::CreateNew, false, "old contents"},
        {"new2.txt", kp::FileDisposition::CreateNew, true, ""},
        {"new3.txt", kp::FileDisposition::OpenAlways, true, ""},
        {"new4.txt", kp::FileDisposition::TruncateExisting, false, nullptr},
    };
    for (const auto& row : rows) {
        const kp::FileHandle file =
            kp::FileOpen(Path(row.name).c_str(), kp::kFileRead | kp::kFileWrite, row.disposition);
        EXPECT_EQ(file != kp::kInvalidFile, row.opens) << row.name;
        if (file != kp::kInvalidFile) {
            EXPECT_TRUE(kp::FileClose(file));
        }
        if (row.contentsAfter == nullptr) {
            EXPECT_FALSE(fs::exists(Path(row.name))) << row.name;
        } else {
            EXPECT_EQ(ReadFile(row.name), row.contentsAfter) << row.name;
        }
    }

    const kp::FileHandle truncating =
        kp::FileOpen(Path("old.txt").c_str(), kp::kFileWrite, kp::FileDisposition::CreateAlways);
    ASSERT_NE(truncating, kp::kInvalidFile);
    EXPECT_EQ(kp::FileWrite(truncating, "new", 3), 3);
    kp::FileClose(truncating);
    EXPECT_EQ(ReadFile("old.txt"), "new");
}

TEST_F(PlatformFile, OpenRefusesDirectories) {
    fs::create_directory(Path("dir"));
    EXPECT_EQ(kp::FileOpen(Path("dir").c_str(), kp::kFileRead, kp::FileDisposition::OpenExisting),
              kp::kInvalidFile);
}

TEST_F(PlatformFile, ReadSeekAndSize) {
    WriteFile("data.bin", "0123456789");
    const kp::FileHandle file =
        kp::FileOpen(Path("data.bin").c_str(), kp::kFileRead, kp::FileDisposition::OpenExisting);
    ASSERT_NE(file, kp::kInvalidFile);
    uint64_t size = 0;
    ASSERT_TRUE(kp::FileSize(file, &size));
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(kp::FileSeek(file, -3, kp::SeekOrigin::End), 7);
    char buffer[8] = {};
    EXPECT_EQ(kp::FileRead(file, buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(kp::FileRead(file, buffer, sizeof buffer), 0);
    EXPECT_EQ(kp::FileSeek(file, 2, kp::SeekOrigin::Begin), 2);
    EXPECT_EQ(kp::FileSeek(file, 1, kp::SeekOrigin::Current), 3);
    EXPECT_EQ(kp::FileRead(file, buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "34");
    EXPECT_TRUE(kp::FileClose(file));
    EXPECT_EQ(kp::FileRead(kp::kInvalidFile, buffer, 1), -1);
}

TEST_F(PlatformFile, CopyKeepsContentsAndTime) {
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

TEST_F(PlatformFile, ReplaceAndRemove) {
    WriteFile("from.txt", "fresh");
    WriteFile("to.txt", "stale");
    ASSERT_TRUE(kp::FileReplace(Path("from.txt").c_str(), Path("to.txt").c_str()));
    EXPECT_EQ(ReadFile("to.txt"), "fresh");
    EXPECT_FALSE(fs::exists(Path("from.txt")));
    EXPECT_TRUE(kp::FileRemove(Path("to.txt").c_str()));
    EXPECT_FALSE(kp::FileRemove(Path("to.txt").c_str()));
}

TEST_F(PlatformFile, MadeDirectoryCanBeEntered) {
    ASSERT_TRUE(kp::DirectoryMake(Path("made").c_str(), 0666));
    EXPECT_FALSE(kp::DirectoryMake(Path("made").c_str(), 0666));
    // Read permission without search permission would make the directory
    // useless: files could neither be created in it nor found.
    WriteFile("made/inside.txt", "in");
    EXPECT_EQ(ReadFile("made/inside.txt"), "in");
    const auto perms = fs::status(Path("made")).permissions();
    EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);
    EXPECT_FALSE(kp::DirectoryMake(Path("no/such/parent").c_str(), 0777));
}

TEST_F(PlatformFile, ChangeDirectory) {
    fs::create_directory(Path("cwd"));
    const std::string before = kp::DirectoryCurrent();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(kp::DirectoryChange(Backslashed(Path("cwd")).c_str()));
    EXPECT_EQ(fs::path(kp::DirectoryCurrent()), fs::canonical(Path("cwd")));
    EXPECT_FALSE(kp::DirectoryChange(Path("absent").c_str()));
    ASSERT_TRUE(kp::DirectoryChange(before.c_str()));
}
