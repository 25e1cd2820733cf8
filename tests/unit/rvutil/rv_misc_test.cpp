#include "kxr/rvutil.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

TEST(RvErrLog, LinesReachTheSinkWithTheirLevel) {
    static std::vector<std::pair<uint32_t, std::string>> logged;
    rvSetErrSink([](uint32_t level, const char* line) { logged.emplace_back(level, line); });
    ErrOut("HTTPD: socket() failed with error %d", 10013);
    ErrFmtOut(RV_ERR_WARNING, 0, 0, "WARNING(kHTTPD2): %s\n", "already running");
    const std::string longText(5000, 'z'); // not cut at a buffer
    ErrOut("%s", longText.c_str());
    rvSetErrSink(nullptr);
    const std::vector<std::pair<uint32_t, std::string>> expected = {
        {0, "HTTPD: socket() failed with error 10013\n"},
        {RV_ERR_WARNING, "WARNING(kHTTPD2): already running\n"}, // one newline, not two
        {0, longText + "\n"}};
    EXPECT_EQ(logged, expected);
}
