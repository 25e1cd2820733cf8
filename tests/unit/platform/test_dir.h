// A fresh directory per test, removed afterwards.
#ifndef KXR_TESTS_PLATFORM_TEST_DIR_H
#define KXR_TESTS_PLATFORM_TEST_DIR_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = std::filesystem::temp_directory_path() /
                (std::string("kxrplat_") + info->test_suite_name() + "_" + info->name());
        TearDown();
        std::filesystem::create_directories(root_);
    }
    // Tests take permissions away; some systems refuse to delete a read-only
    // file, others to enter a directory without search permission.
    void TearDown() override {
        namespace fs = std::filesystem;
        std::error_code ignored;
        for (auto it = fs::recursive_directory_iterator(root_, ignored);
             it != fs::recursive_directory_iterator(); it.increment(ignored))
            fs::permissions(it->path(), fs::perms::owner_all,
                            fs::perm_options::add | fs::perm_options::nofollow, ignored);
        fs::remove_all(root_, ignored);
    }
    std::string Path(const std::string& relative) const { return (root_ / relative).string(); }
    void WriteFile(const std::string& relative, const std::string& contents) const {
        std::ofstream(root_ / relative, std::ios::binary) << contents;
    }
    std::string ReadFile(const std::string& relative) const {
        std::ifstream in(root_ / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path root_;
};

// The same path with every separator written as a backslash.
inline std::string Backslashed(std::string path) {
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

#endif
