// A temporary tree per test, and file roots loaded from a configuration
// written into it; the roots are unloaded again afterwards.
#ifndef KXR_TESTS_UNIT_FILES_TEMP_TREE_H
#define KXR_TESTS_UNIT_FILES_TEMP_TREE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/file_roots.h"
#include "kxr/rvutil.h"
#include "platform/kxr_path.h"

namespace kxrtest {

class TempTree : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("kxr_files_") + test->test_suite_name() + "_" + test->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        kxr::FreeFileRoots(nullptr);
        rvCFGOpen(nullptr);
        kxr::LoadFileRoots(nullptr);
        std::filesystem::remove_all(dir_);
    }
    // A name ending in "/" is made as a directory, any other as a file.
    void Touch(const std::string& name, const std::string& bytes = "x") {
        std::filesystem::create_directories((dir_ / name).parent_path());
        if (name.back() == '/')
            std::filesystem::create_directories(dir_ / name);
        else
            std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }
    void LoadRoots(const std::string& toml) {
        Touch("kxr.toml", toml);
        ASSERT_EQ(rvCFGOpen((dir_ / "kxr.toml").string().c_str()), 0);
        kxr::FreeFileRoots(nullptr);
        kxr::LoadFileRoots(nullptr);
    }
    std::string Dir(const std::string& sub) const { return (dir_ / sub).string(); }
    // A directory's local path as the root table spells it.
    std::string Local(const std::string& sub) const {
        return Dir(sub) + kxr::platform::kPathSeparator;
    }

    std::filesystem::path dir_;
};

// Runs function(buffer, room) on a copy of text in a buffer of room bytes and
// returns "result|text".
template <typename Function>
std::string Applied(const std::string& text, Function function, size_t room = 260) {
    std::vector<char> buffer(std::max(room, text.size() + 1), '\0');
    std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
    const auto result = function(buffer.data(), room);
    return std::to_string(result) + "|" + buffer.data();
}

} // namespace kxrtest

#endif
