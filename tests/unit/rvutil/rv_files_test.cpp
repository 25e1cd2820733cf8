#include "kxr/rvutil.h"
#include "tests/unit/platform/test_dir.h"

#include <string>
#include <utility>

using RvFiles = TempDirTest;

TEST_F(RvFiles, CreateReadAndSize) {
    WriteFile("data.bin", "0123456789abcdef");
    std::filesystem::create_directory(Path("dir"));
    const std::pair<std::string, uint32_t> refused[] = {{Path("absent"), RV_OPEN_EXISTING},
                                                        {Path("dir"), RV_OPEN_EXISTING},
                                                        {Path("any"), 0},
                                                        {Path("any"), 9}};
    auto open = [](const std::string& path, uint32_t how) {
        return rvOSCreateFile(path.c_str(), RV_GENERIC_READ, 7, nullptr, how, 0, nullptr);
    };
    for (const auto& [path, how] : refused)
        EXPECT_EQ(open(path, how), RV_INVALID_HANDLE) << path << how;
    EXPECT_FALSE(std::filesystem::exists(Path("any")));
    RVHANDLE file = open(Path("data.bin"), RV_OPEN_EXISTING);
    ASSERT_NE(file, RV_INVALID_HANDLE);
    int64_t size = 0;
    EXPECT_EQ(rvOSGetFileSizeEx(file, &size), 1);
    EXPECT_EQ(size, 16);
    char buffer[64] = {};
    uint32_t got = 0;
    for (uint32_t expected : {10u, 6u, 0u}) { // at the end a read succeeds with nothing read
        EXPECT_EQ(rvOSReadFile(file, buffer, expected == 10 ? 10 : 64, &got, nullptr), 1);
        EXPECT_EQ(got, expected);
    }
    EXPECT_EQ(std::string(buffer, 6), "abcdef");
    int overlapped = 0;
    EXPECT_EQ(rvOSReadFile(file, buffer, 1, &got, &overlapped), 0);
    EXPECT_EQ(rvOSFindClose(file), 0); // a file handle is no search
    EXPECT_EQ(rvOSCloseFile(file), 1);
    EXPECT_EQ(rvOSGetFileSize(file, nullptr), 0xFFFFFFFFu); // closed
}

TEST_F(RvFiles, CopyAndMakeDirRefuseWhatExists) {
    WriteFile("log.csv", "a,b\n");
    WriteFile("copy.csv", "old");
    EXPECT_EQ(rvOSCopyFile(Path("log.csv").c_str(), Path("copy.csv").c_str(), 1), 0);
    EXPECT_EQ(ReadFile("copy.csv"), "old");
    EXPECT_EQ(rvOSCopyFile(Path("log.csv").c_str(), Path("copy.csv").c_str(), 0), 1);
    EXPECT_EQ(ReadFile("copy.csv"), "a,b\n");
    EXPECT_EQ(rvOSMakeDir(Path("new").c_str(), 438), 0);
    EXPECT_EQ(rvOSMakeDir(Path("new").c_str(), 438), -1);
}
