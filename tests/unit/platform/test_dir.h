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
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(root_, ignored);
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

#endif
