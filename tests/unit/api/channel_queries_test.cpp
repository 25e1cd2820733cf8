#include "api/channel_queries.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "kxr/tempex.h"
#include "tests/unit/api/api_test_support.h"

namespace kxrtest {
namespace {

TEST(SpeedFactor, TruncatesToTwoPlaces) {
    const std::vector<std::pair<int32_t, const char*>> cases = {
        {-131040, "-2.00"}, {98280, "1.50"}, {65519, "0.99"}, {-1, "-0.00"}, {INT_MIN, "-32776.00"},
    };
    for (const auto& [speed, text] : cases) {
        EXPECT_EQ(kxr::SpeedFactorText(speed), text) << speed;
    }
}

struct ValueCase {
    const char* path;
    unsigned ordinal;
    int64_t result;
    const char* text; // what the engine writes, if anything
    const char* body;
    const char* trace;
};

using ChannelQueries = ApiTest;

TEST_F(ChannelQueries, AnswerPlainValues) {
    const std::vector<ValueCase> cases = {
        {"KXRTotalChannels", kOrdGetChannelCount, 4, "", "4", "7()"},
        {"KXRTotalInternalChannels", kOrdGetInternalChannelCount, 2, "", "2", "8()"},
        {"KXRGetState?channel=1", kOrdGetStateText, 0, "PLAY", "PLAY", "46(1)"},
        {"KXRGetPosition", kOrdGetPositionText, 0, "", "", "45(0)"}, // no text, no body
        {"KXRGetPosition", kOrdGetPositionText, 0, "00:00:01:00", "00:00:01:00", "45(0)"},
        {"KXRGetFrame", kOrdGetFrame, -5, "", "-5", "39(0)"},
        {"KXRGetSpeedRaw", kOrdGetSpeed, -65520, "", "-65520", "38(0)"},
        {"KXRGetSpeed", kOrdGetSpeed, -32760, "", "-0.50", "38(0)"},
        {"KXRGetLastChangeXferMs&channel=2", kOrdGetLastChangeXferMs, 0xFFFFFFFF, "", "-1",
         "55(2)"},
        {"KXRGetLastChangeMs", kOrdGetLastChangeMs, 77, "", "77", "56(0,4294967295,0)"},
        {"KXRGetErrorLogMs", kOrdGetErrorLogMs, 12, "", "12", "113()"},
        {"KXRTcType", kOrdGetTcType, 8, "", "8", "70(0)"},
        {"KXRSetErrorLogClear", kOrdSetErrorLog, 0, "", "0", "114(4294967295)"},
        {"KXRSetErrorLogSave", kOrdSetErrorLog, -3, "", "-3", "114(4)"},
        {"KXRSetErrorLogStop", kOrdSetErrorLog, 5, "", "5", "114(1)"},
        {"KXRSetErrorLogStart", kOrdSetErrorLog, 0, "", "0", "114(0)"},
        {"KXRChannelName&channel=3", kOrdGetChannelName, 0, "Playout A", "Playout A", "9(3)"},
        {"KXRGetNextClip&clipid=CLIP0001", kOrdGetNextClip, 0, "CLIP0002", "CLIP0002",
         "47(0)'CLIP0001'"},
        {"KXRGetNextClip", kOrdGetNextClip, 0, "FIRST", "FIRST", "47(0)"},
    };
    for (const ValueCase& c : cases) {
        engine.Clear();
        engine.SetResult(c.ordinal, c.result);
        engine.SetText(c.ordinal, c.text);
        const Answer a = Get(c.path);
        EXPECT_EQ(a.result, 1) << c.path;
        EXPECT_EQ(a.body, c.body) << c.path;
        EXPECT_EQ(a.hasBody, a.length > 0) << c.path;
        EXPECT_EQ(Trace(engine), c.trace) << c.path;
    }
}

TEST_F(ChannelQueries, ConvertsTimecodes) {
    engine.SetResult(kOrdGetTcType, kTcPal);
    int32_t hour = 0;
    ASSERT_EQ(TcTextToFrames("01:00:00:00", kTcPal | 0x100, &hour), 1);
    ASSERT_EQ(hour, 90000);
    char hourText[TEMPEX_TEXT_SIZE] = {};
    TcFramesToText(hour, kTcPal | 0x32100, hourText);

    EXPECT_EQ(Get("KXRTimecode&&&").body, "BadArg");
    EXPECT_EQ(Trace(engine), "");
    EXPECT_EQ(Get("KXRTimecodeToFrame&01:00:00:00&ignored").body, "90000");
    EXPECT_EQ(Get("KXRTimecode&&1:0:0:0").body, hourText);
    EXPECT_EQ(Get("KXRTimecodeToString&90000?setchannel=1").body, hourText);
    EXPECT_EQ(Trace(engine), "70(0) 70(0) 70(1)");
}

} // namespace
} // namespace kxrtest
