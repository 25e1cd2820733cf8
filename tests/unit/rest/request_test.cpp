// Reading requests of the JSON face from the bytes of a receive buffer.
#include "rest/rest_request.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kxr::rest::ParseRequest;
using kxr::rest::ReadFailure;
using kxr::rest::Request;

constexpr size_t kLimit = 4095;

std::optional<Request> Parse(const std::string& bytes, ReadFailure* failure) {
    return ParseRequest(bytes, kLimit, failure);
}

TEST(RestRequest, SplitsTargetIntoDecodedSegmentsParametersAndBody) {
    ReadFailure failure;
    const auto request = Parse("POST /api/v1/clips/a%20b/picon?channel=2&locator=%5CMedia+x&flag"
                               "&=v HTTP/1.1\r\nIf-None-Match: \"x\"\r\ncontent-length: 4\r\n\r\n"
                               "{}{}trailing",
                               &failure);
    ASSERT_TRUE(request) << failure.detail;
    EXPECT_EQ(request->method, "POST");
    EXPECT_EQ(request->segments, (std::vector<std::string>{"clips", "a b", "picon"}));
    std::string query;
    for (const kxr::rest::QueryParameter& p : request->query)
        query += p.name + "=" + p.value + " (" + p.raw + ") ";
    EXPECT_EQ(query, "channel=2 (2) locator=\\Media x (%5CMedia+x) flag= () =v (v) ");
    EXPECT_EQ(request->Parameter("locator")->value, "\\Media x");
    EXPECT_EQ(request->Parameter("missing"), nullptr);
    EXPECT_EQ(request->Header("if-none-match"), "\"x\"");
    EXPECT_EQ(request->body, "{}{}"); // by its length, whatever follows
    EXPECT_FALSE(request->headOnly);

    const auto head = Parse("HEAD /api/v1/ HTTP/1.1\r\n\r\n", &failure);
    ASSERT_TRUE(head);
    EXPECT_TRUE(head->headOnly);
    EXPECT_EQ(head->segments, (std::vector<std::string>{""}));
}

TEST(RestRequest, RefusesWhatCannotBeRead) {
    const std::string line = "POST /api/v1/channels/0/transport HTTP/1.1\r\n";
    const std::pair<std::string, int> rows[] = {
        {"GET /api/v1/channels HTTP/1.1\r\nHost: h\r\n", 400},   // head not ended
        {std::string(kLimit, 'x'), 413},                         // buffer full, no head end
        {"GET /api/v1/channels\r\n\r\n", 400},                   // no protocol
        {"get /api/v1/channels HTTP/1.1\r\n\r\n", 400},          // method not a token
        {"GET /api/v2/channels HTTP/1.1\r\n\r\n", 400},          // not this face
        {"GET /api/v1/clips/a%00 HTTP/1.1\r\n\r\n", 400},        // zero byte in a segment
        {"GET /api/v1/files?locator=%00 HTTP/1.1\r\n\r\n", 400}, // and in a value
        {line + "Content-Length: 12x\r\n\r\n", 400},             // length not a number
        {line + "Content-Length: -1\r\n\r\n", 400},              // nor signed
        {line + "Content-Length: 9999999999\r\n\r\n", 400},      // nor that long
        {line + "Content-Length: 10\r\n\r\n{}", 400},            // body cut short
        {line + "Content-Length: 4090\r\n\r\n{}", 413},          // more than the room
        {line + "Transfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n", 411},
    };
    for (const auto& [bytes, status] : rows) {
        ReadFailure failure;
        EXPECT_FALSE(Parse(bytes, &failure)) << bytes;
        EXPECT_TRUE(failure.status == status && !failure.detail.empty()) << bytes;
    }
}

TEST(RestRequest, BodyFitsExactlyUpToTheLimit) {
    const std::string head = "POST /api/v1/channels/0/transport HTTP/1.1\r\nContent-Length: ";
    const size_t room = kLimit - (head.size() + 4 + 4); // "NNNN" and the blank line
    ReadFailure failure;
    const std::string fits = head + std::to_string(room) + "\r\n\r\n" + std::string(room, 'a');
    ASSERT_EQ(fits.size(), kLimit);
    EXPECT_TRUE(Parse(fits, &failure)) << failure.detail;
    const std::string over = head + std::to_string(room + 1) + "\r\n\r\n" + std::string(room, 'a');
    EXPECT_FALSE(Parse(over, &failure));
    EXPECT_EQ(failure.status, 413);
}

TEST(RestRequest, KnowsItsOwnPaths) {
    for (const auto& [text, ours] : {std::pair{"GET /api/v1/channels HTTP/1.1", true},
                                     {"BREW /api/v1/x HTTP/1.1", true},
                                     {"GET /api/v1 HTTP/1.1", false},
                                     {"GET /x/api/v1/ HTTP/1.1", false},
                                     {"GET /KXRXML/Status?/api/v1/ HTTP/1.1", false},
                                     {"/api/v1/", false}})
        EXPECT_EQ(kxr::rest::IsApiRequestText(text), ours) << text;
}

} // namespace
