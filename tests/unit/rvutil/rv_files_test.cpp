#include "kxr/rvutil.h"
#include "tests/unit/platform/test_dir.h"

#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using RvFiles = TempDirTest;

namespace {

std::vector<std::string> Search(const std::string& pattern, std::vector<uint32_t>* attributes) {
    std::vector<std::string> names;
    RVFindData data{};
    RVHANDLE search = rvOSFindFirstFile(pattern.c_str(), &data);
    if (search == RV_INVALID_HANDLE)
        return names;
    do {
        names.emplace_back(data.name);
        if (attributes != nullptr)
            attributes->push_back(data.attributes);
    } while (rvOSFindNextFile(search, &data) != 0);
    EXPECT_EQ(rvOSFindClose(search), 1);
    EXPECT_EQ(rvOSFindClose(search), 0);
    return names;
}

} // namespace

TEST_F(RvFiles, FindListsEveryMatchWithAttributes) {
    WriteFile("b.dpx", "12");
    WriteFile("A.dpx", "1");
    WriteFile(".hide", "1");
    fs::create_directory(Path("sub"));

    std::vector<uint32_t> attributes;
    char pattern[RV_MAX_PATH];
    rvOSMakePath(pattern, nullptr, (root_.string() + "/").c_str(), "*", "*");
    const auto names = Search(pattern, &attributes);
    ASSERT_EQ(names, (std::vector<std::string>{".", "..", ".hide", "A.dpx", "b.dpx", "sub"}));
    EXPECT_EQ(attributes[2], RV_FILE_ATTRIBUTE_ARCHIVE | RV_FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(attributes[3], RV_FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(attributes[5], RV_FILE_ATTRIBUTE_DIRECTORY);

    RVFindData data{};
    RVHANDLE search = rvOSFindFirstFile(Path("b.*").c_str(), &data);
    ASSERT_NE(search, RV_INVALID_HANDLE);
    EXPECT_STREQ(data.name, "b.dpx");
    EXPECT_EQ(data.size, 2u);
    EXPECT_NE(data.lastWriteTime, 0u);
    EXPECT_EQ(rvOSFindNextFile(search, &data), 0);
    EXPECT_EQ(rvOSFindClose(search), 1);

    EXPECT_EQ(rvOSFindFirstFile(Path("*.none").c_str(), &data), RV_INVALID_HANDLE);
    EXPECT_EQ(rvOSFindFirstFile(Path("absent/*").c_str(), &data), RV_INVALID_HANDLE);
    EXPECT_EQ(rvOSFindNextFile(RV_INVALID_HANDLE, &data), 0);
}

TEST_F(RvFiles, CreateReadAndSize) {
    const std::string contents = "0123456789abcdef";
    WriteFile("data.bin", contents);
    RVHANDLE file = rvOSCreateFile(Path("data.bin").c_str(), RV_GENERIC_READ, 1, nullptr,
                                   RV_OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, RV_INVALID_HANDLE);
    uint32_t high = 99;
    EXPECT_EQ(rvOSGetFileSize(file, &high), contents.size());
    EXPECT_EQ(high, 0u);
    int64_t size = 0;
    EXPECT_EQ(rvOSGetFileSizeEx(file, &size), 1);
    EXPECT_EQ(size, static_cast<int64_t>(contents.size()));

    char buffer[64] = {};
    uint32_t got = 0;
    EXPECT_EQ(rvOSReadFile(file, buffer, 10, &got, nullptr), 1);
    EXPECT_EQ(got, 10u);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    EXPECT_EQ(rvOSReadFile(file, buffer, sizeof buffer, &got, nullptr), 1);
    EXPECT_EQ(got, 6u);
    // At the end a read still succeeds, with nothing read.
    EXPECT_EQ(rvOSReadFile(file, buffer, sizeof buffer, &got, nullptr), 1);
    EXPECT_EQ(got, 0u);
    int overlapped = 0;
    EXPECT_EQ(rvOSReadFile(file, buffer, 1, &got, &overlapped), 0);

    EXPECT_EQ(rvOSCloseFile(file), 1);
    EXPECT_EQ(rvOSCloseFile(file), 0);
    EXPECT_EQ(rvOSReadFile(file, buffer, 1, &got, nullptr), 0);
    EXPECT_EQ(rvOSGetFileSize(file, nullptr), 0xFFFFFFFFu);
}

TEST_F(RvFiles, CreateRefusesWhatItCannotOpen) {
    fs::create_directory(Path("dir"));
    struct Row {
        std::string path;
        uint32_t disposition;
    };
    const Row rows[] = {
        {Path("absent"), RV_OPEN_EXISTING},
        {Path("dir"), RV_OPEN_EXISTING},
        {Path("any"), 0},
        {Path("any"), 9},
        {"", RV_OPEN_EXISTING},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(rvOSCreateFile(row.path.c_str(), RV_GENERIC_READ, 7, nullptr, row.disposition, 0,
                                 nullptr),
                  RV_INVALID_HANDLE)
            << row.path << " " << row.disposition;
    }
    EXPECT_FALSE(fs::exists(Path("any")));
}

TEST_F(RvFiles, HandlesOfOneKindAreNoGoodForAnother) {
    WriteFile("a.txt", "a");
    RVFindData data{};
    RVHANDLE search = rvOSFindFirstFile(Path("*.txt").c_str(), &data);
    ASSERT_NE(search, RV_INVALID_HANDLE);
    char buffer[4];
    uint32_t got = 0;
    EXPECT_EQ(rvOSReadFile(search, buffer, 1, &got, nullptr), 0);
    EXPECT_EQ(rvOSCloseFile(search), 0);
    uint32_t code = 0;
    EXPECT_EQ(rvOSGetExitCodeThread(search, &code, "test"), 0);
    EXPECT_EQ(rvOSFindClose(search), 1);
}

TEST_F(RvFiles, CopyMakeDirAndChangeDir) {
    WriteFile("log.csv", "a,b\n");
    WriteFile("copy.csv", "old");
    EXPECT_EQ(rvOSCopyFile(Path("log.csv").c_str(), Path("copy.csv").c_str(), 1), 0);
    EXPECT_EQ(ReadFile("copy.csv"), "old");
    EXPECT_EQ(rvOSCopyFile(Path("log.csv").c_str(), Path("copy.csv").c_str(), 0), 1);
    EXPECT_EQ(ReadFile("copy.csv"), "a,b\n");

    EXPECT_EQ(rvOSMakeDir(Path("new").c_str(), 438), 0);
    EXPECT_EQ(rvOSMakeDir(Path("new").c_str(), 438), -1);
    EXPECT_EQ(rvOSFileIsDir(Path("new").c_str()), 1);

    const fs::path before = fs::current_path();
    ASSERT_EQ(rvOSChangeDir(Path("new").c_str()), 0);
    EXPECT_EQ(fs::current_path(), fs::canonical(Path("new")));
    EXPECT_EQ(rvOSChangeDir(Path("absent").c_str()), -1);
    fs::current_path(before);
}
