#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "httpd/file_conditions.h"

namespace kxr::httpd {
namespace {

constexpr const char* kDate = "Tue, 05 Mar 2024 13:05:09 GMT";

struct PlanCase {
    const char* name;
    std::vector<std::string> lines;
    int64_t size;
    int32_t status;
    int32_t flag;
    int64_t start;
    int64_t length;
    std::string headers; // after the Last-Modified line
};

TEST(PlanFileAnswer, RangesAndConditionsDecideTheAnswer) {
    const std::vector<PlanCase> cases = {
        {"whole file",
         {},
         1000,
         200,
         0,
         0,
         1000,
         "Content-Range: bytes 0-999/1000\r\nContent-Length: 1000\r\n"},
        {"closed range",
         {"Range: bytes=0-99"},
         1000,
         206,
         1,
         0,
         100,
         "Content-Range: bytes 0-99/1000\r\nContent-Length: 100\r\n"},
        {"open range",
         {"Range: bytes=500-"},
         1000,
         206,
         1,
         500,
         500,
         "Content-Range: bytes 500-999/1000\r\nContent-Length: 500\r\n"},
        {"start beyond the end",
         {"Range: bytes=2000-"},
         1000,
         416,
         -1,
         0,
         1000,
         "Content-Range: bytes 2000-999/1000\r\nContent-Length: 1000\r\n"},
        {"start beyond the end, If-Range",
         {"Range: bytes=2000-", "If-Range: x"},
         1000,
         200,
         0,
         0,
         1000,
         "Content-Range: bytes 0-999/1000\r\nContent-Length: 1000\r\n"},
        {"end beyond the end",
         {"Range: bytes=10-1000"},
         1000,
         416,
         -1,
         0,
         1000,
         "Content-Range: bytes 10-1000/1000\r\nContent-Length: 1000\r\n"},
        {"range with If-Modified-Since",
         {"Range: bytes=0-9", "If-Modified-Since: " + std::string(kDate)},
         1000,
         416,
         -1,
         0,
         1000,
         "Content-Range: bytes 0-9/1000\r\nContent-Length: 1000\r\n"},
        {"not modified",
         {"If-Modified-Since: " + std::string(kDate) + "; length=1000"},
         1000,
         304,
         0,
         0,
         1000,
         "Content-Range: bytes 0-999/1000\r\nContent-Length: 1000\r\n"},
        {"modified",
         {"If-Modified-Since: Mon, 04 Mar 2024 13:05:09 GMT"},
         1000,
         200,
         0,
         0,
         1000,
         "Content-Range: bytes 0-999/1000\r\nContent-Length: 1000\r\n"},
        {"end 0 means no end",
         {"Range: bytes=0-0"},
         1000,
         206,
         1,
         0,
         1000,
         "Content-Range: bytes 0-999/1000\r\nContent-Length: 1000\r\n"},
        {"end before start",
         {"Range: bytes=500-100"},
         1000,
         206,
         1,
         500,
         -399,
         "Content-Range: bytes 500-100/1000\r\n"},
        {"If-Range alone",
         {"If-Range: x"},
         1000,
         200,
         0,
         0,
         1000,
         "Content-Range: bytes 0-999/1000\r\nContent-Length: 1000\r\n"},
        {"empty file", {}, 0, 200, 0, 0, 0, ""},
        {"range on an empty file", {"Range: bytes=0-"}, 0, 200, 1, 0, 0, ""},
        {"suffix",
         {"Range: bytes=-100"},
         1000,
         206,
         1,
         900,
         100,
         "Content-Range: bytes 900-999/1000\r\nContent-Length: 100\r\n"},
        {"suffix longer than the file",
         {"Range: bytes=-5000"},
         1000,
         206,
         1,
         0,
         1000,
         "Content-Range: bytes 0-999/1000\r\nContent-Length: 1000\r\n"},
        {"suffix of nothing",
         {"Range: bytes=-0"},
         1000,
         416,
         -1,
         0,
         1000,
         "Content-Range: bytes 1000-999/1000\r\nContent-Length: 1000\r\n"},
        {"units other than bytes",
         {"Range: items=0-5"},
         1000,
         200,
         0,
         0,
         1000,
         "Content-Range: bytes 0-999/1000\r\nContent-Length: 1000\r\n"},
        {"names are case-sensitive",
         {"range: bytes=0-5", "if-modified-since: x"},
         1000,
         200,
         0,
         0,
         1000,
         "Content-Range: bytes 0-999/1000\r\nContent-Length: 1000\r\n"},
        {"unreadable values stay 0",
         {"Range: bytes=abc-"},
         1000,
         206,
         1,
         0,
         1000,
         "Content-Range: bytes 0-999/1000\r\nContent-Length: 1000\r\n"},
        {"huge values",
         {"Range: bytes=99999999999999999999999-"},
         1000,
         416,
         -1,
         0,
         1000,
         "Content-Range: bytes 2305843009213693952-999/1000\r\nContent-Length: 1000\r\n"},
    };
    for (const PlanCase& c : cases) {
        RequestConditions conditions;
        ResetConditions(&conditions);
        for (const std::string& line : c.lines)
            ParseConditionLine(line.c_str(), &conditions);
        FilePlan plan;
        PlanFileAnswer(conditions, c.size, kDate, &plan);
        EXPECT_EQ(plan.status, c.status) << c.name;
        EXPECT_EQ(plan.rangeFlag, c.flag) << c.name;
        if (plan.rangeFlag > 0) {
            EXPECT_EQ(plan.start, c.start) << c.name;
        }
        EXPECT_EQ(plan.length, c.length) << c.name;
        EXPECT_EQ(std::string(plan.headerText),
                  "Last-Modified: " + std::string(kDate) + "\r\n" + c.headers)
            << c.name;
    }
}

TEST(PlanFileAnswer, UnknownDateGivesNoLastModifiedAndNoNotModified) {
    RequestConditions conditions;
    ResetConditions(&conditions);
    ParseConditionLine((std::string("If-Modified-Since: ") + kDate).c_str(), &conditions);
    FilePlan plan;
    PlanFileAnswer(conditions, 10, nullptr, &plan);
    EXPECT_EQ(plan.status, 200);
    EXPECT_STREQ(plan.headerText, "Content-Range: bytes 0-9/10\r\nContent-Length: 10\r\n");
}

TEST(ParseConditionLine, KeepsAtMost49CharactersOfTheDate) {
    RequestConditions conditions;
    ResetConditions(&conditions);
    ParseConditionLine(("If-Modified-Since: " + std::string(80, 'd')).c_str(), &conditions);
    EXPECT_EQ(std::string(conditions.ifModifiedSince), std::string(49, 'd'));
}

TEST(ReadDecimal, ReadsAsACConversionDoes) {
    const std::vector<std::tuple<const char*, bool, int64_t>> cases = {
        {"42", true, 42},
        {"  17x", true, 17},
        {"-5", true, -5},
        {"+8", true, 8},
        {"x1", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"9223372036854775807", true, INT64_MAX},
        {"99999999999999999999", true, INT64_MAX},
        {"-9223372036854775808", true, INT64_MIN},
        {"-99999999999999999999", true, INT64_MIN},
    };
    for (const auto& [text, ok, value] : cases) {
        int64_t got = 0;
        EXPECT_EQ(ReadDecimal(text, &got), ok) << text;
        if (ok) {
            EXPECT_EQ(got, value) << text;
        }
    }
}

} // namespace
} // namespace kxr::httpd
