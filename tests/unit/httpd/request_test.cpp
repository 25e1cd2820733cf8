// Reading a request: its path, its lines and the conditions on a file answer.
#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "httpd/file_conditions.h"
#include "httpd/request_reader.h"

namespace kxr::httpd {
namespace {

TEST(DecodeRequestPath, DecodesAndStopsAsClientsExpect) {
    // "\301" is not a digit, whatever the sign of a char.
    const std::vector<std::tuple<const char*, size_t, std::string>> cases = {
        {"/a%20b.txt HTTP/1.1", 64, "/a b.txt"},
        {"/x?y=1 HTTP/1.1", 64, "/x"},
        {"/%zz HTTP/1.1", 64, "/%zz"},
        {"/%4", 64, "/%4"},
        {"/a+b", 64, "/a+b"},
        {"/%2F%2e%2E", 64, "//.."},
        {"/%\3010", 64, "/%\3010"},
        {"/abcdef", 4, "/ab"},
        {"", 8, ""},
        {"/%41%42", 3, "/A"}};
    for (const auto& [source, capacity, expected] : cases) {
        char out[64];
        std::memset(out, 'X', sizeof out);
        EXPECT_EQ(DecodeRequestPath(source, out, capacity), 1);
        EXPECT_EQ(std::string(out), expected) << source;
        EXPECT_LT(std::strlen(out), capacity);
    }
}

TEST(HasParentSegment, OnlyWholeSegmentsCount) {
    const std::vector<std::pair<const char*, bool>> cases = {
        {".//../secret", true}, {".//a/..\\b", true}, {".//a/..", true},   {"..", true},
        {"..\\x", true},        {".//a..b", false},   {".//a/...", false}, {".//a/..b", false},
        {".//b../c", false},    {".//", false},       {"\\..\\", true}};
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(HasParentSegment(path), expected) << path;
}

// Feeds the reader fixed chunks, then end of stream or an error.
struct ChunkSource {
    std::vector<std::string> chunks;
    size_t next = 0;
    int finalError = 0; // 0: the peer closes
    static int64_t Receive(void* context, char* buffer, size_t count, int* error) {
        auto* self = static_cast<ChunkSource*>(context);
        if (self->next >= self->chunks.size())
            return self->finalError != 0 ? (*error = self->finalError, -1) : 0;
        const std::string& chunk = self->chunks[self->next++];
        const size_t n = std::min(chunk.size(), count);
        std::memcpy(buffer, chunk.data(), n);
        return static_cast<int64_t>(n);
    }
};

TEST(ReadRequestLine, SplitsLinesAcrossReceives) {
    // The chunks, the error after them, the line's room and the lines read.
    const std::vector<std::tuple<std::vector<std::string>, int, size_t,
                                 std::vector<std::pair<int32_t, std::string>>>>
        cases = {
            // An empty line reads as 0.
            {{"Host: x\r\n\r\n"}, 0, 4096, {{7, "Host: x"}, {0, ""}, {0, ""}}},
            // A bare LF keeps the last character.
            {{"GET /a HTTP/1.0\nB: c\n"}, 0, 4096, {{15, "GET /a HTTP/1.0"}, {4, "B: c"}}},
            // Line spread over three receives, CR in one and LF in the next.
            {{"GE", "T /x HTTP/1.1\r", "\nNext\r\n"},
             0,
             4096,
             {{15, "GET /x HTTP/1.1"}, {4, "Next"}}},
            // Peer closes mid-line; a trailing CR is dropped too.
            {{"partial\r"}, 0, 4096, {{7, "partial"}, {0, ""}}},
            // Cut to capacity - 1.
            {{"abcdefghij\r\nk\r\n"}, 0, 5, {{4, "abcd"}, {1, "k"}}},
            // Time-out gives -1, another error ends the line with what came.
            {{"GET /"}, platform::kSockErrTimedOut, 4096, {{-1, ""}}},
            {{"GET /"}, platform::kSockErrConnectionReset, 4096, {{5, "GET /"}}},
        };
    for (const auto& [chunks, finalError, capacity, lines] : cases) {
        ChunkSource source{chunks, 0, finalError};
        auto record = std::make_unique<ConnectionRecord>();
        for (const auto& [result, text] : lines) {
            std::vector<char> line(capacity, 'X');
            const int32_t n = ReadRequestLineFrom(record.get(), line.data(), line.size(),
                                                  ChunkSource::Receive, &source);
            EXPECT_EQ(n, result) << chunks[0];
            if (n >= 0) {
                EXPECT_EQ(std::string(line.data()), text) << chunks[0];
            }
            // The receive buffer always reads as text.
            EXPECT_EQ(record->recvBuffer[record->recvCount], '\0');
        }
    }
}

TEST(ReadRequestHead, GathersTheHeadBehindTheRequestLine) {
    const std::string big(5000, 'h');
    // The chunks and what the receive buffer holds afterwards.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        // Header lines in later receives are appended to the first.
        {{"GET / HTTP/1.1\r\n", "Host: x\r\n", "Authorization: Basic eDp5\r\n\r\n", "body"},
         "GET / HTTP/1.1\r\nHost: x\r\nAuthorization: Basic eDp5\r\n\r\n"},
        // Nothing more is asked for once the blank line is there.
        {{"GET / HTTP/1.1\r\nA: b\r\n\r\nbody", "more"}, "GET / HTTP/1.1\r\nA: b\r\n\r\nbody"},
        // A peer that stops leaves what came.
        {{"GET / HTTP/1.1\r\n", "A: b\r\n"}, "GET / HTTP/1.1\r\nA: b\r\n"},
        // The buffer never overflows.
        {{"GET / HTTP/1.1\r\n", big}, "GET / HTTP/1.1\r\n" + big.substr(0, kRecvBufferSize - 17)},
    };
    for (const auto& [chunks, buffer] : cases) {
        ChunkSource source{chunks, 0, 0};
        auto record = std::make_unique<ConnectionRecord>();
        char line[4096];
        ReadRequestLineFrom(record.get(), line, sizeof line, ChunkSource::Receive, &source);
        ReadRequestHeadFrom(record.get(), ChunkSource::Receive, &source);
        EXPECT_EQ(std::string(record->recvBuffer), buffer) << chunks[0] << chunks[1];
        EXPECT_EQ(record->recvCount, static_cast<int64_t>(buffer.size()));
    }
}

constexpr const char* kDate = "Tue, 05 Mar 2024 13:05:09 GMT";
const std::string kSince = "If-Modified-Since: " + std::string(kDate);

TEST(PlanFileAnswer, RangesAndConditionsDecideTheAnswer) {
    // The lines, the file's size, then the plan: status, range flag, start,
    // length and the range named in Content-Range with the size.
    const std::vector<std::tuple<std::vector<std::string>, int64_t, int32_t, int32_t, int64_t,
                                 int64_t, std::string>>
        cases = {
            // A range past the end is still named when If-Range drops it.
            {{"Range: bytes=2000-", "If-Range: x"}, 1000, 200, 0, 0, 1000, "2000-999"},
            {{"Range: bytes=10-1000"}, 1000, 416, -1, 0, 1000, "10-1000"},
            {{"Range: bytes=0-9", kSince}, 1000, 416, -1, 0, 1000, "0-9"},
            {{kSince + "; length=1000"}, 1000, 304, 0, 0, 1000, "0-999"},
            {{"If-Modified-Since: Mon, 04 Mar 2024 13:05:09 GMT"}, 1000, 200, 0, 0, 1000, "0-999"},
            // An end of 0 means no end.
            {{"Range: bytes=0-0"}, 1000, 206, 1, 0, 1000, "0-999"},
            {{}, 0, 200, 0, 0, 0, ""},
            // Two Range lines ask for no range, but name the last one read.
            {{"Range: bytes=10-20", "Range: bytes=30-"}, 1000, 200, 0, 0, 1000, "30-20"},
            // Suffix ranges.
            {{"Range: bytes=-100"}, 1000, 206, 1, 900, 100, "900-999"},
            {{"Range: bytes=-5000"}, 1000, 206, 1, 0, 1000, "0-999"},
            {{"Range: bytes=-0"}, 1000, 416, -1, 0, 1000, "1000-999"},
            // Lower-case names and unreadable values.
            {{"range: bytes=0-5", "if-modified-since: x"}, 1000, 200, 0, 0, 1000, "0-999"},
            {{"Range: bytes=abc-"}, 1000, 206, 1, 0, 1000, "0-999"},
        };
    for (const auto& [lines, size, status, flag, start, length, range] : cases) {
        const std::string trace = lines.empty() ? "size " + std::to_string(size) : lines[0];
        RequestConditions conditions;
        ResetConditions(&conditions);
        for (const std::string& line : lines)
            ParseConditionLine(line.c_str(), &conditions);
        FilePlan plan;
        PlanFileAnswer(conditions, size, kDate, &plan);
        EXPECT_EQ(std::make_tuple(plan.status, plan.rangeFlag, plan.length),
                  std::make_tuple(status, flag, length))
            << trace;
        if (plan.rangeFlag > 0) {
            EXPECT_EQ(plan.start, start) << trace;
        }
        EXPECT_EQ(std::string(plan.headerText),
                  "Last-Modified: " + std::string(kDate) + "\r\n" +
                      (range.empty()
                           ? ""
                           : "Content-Range: bytes " + range + "/" + std::to_string(size) +
                                 "\r\nContent-Length: " + std::to_string(length) + "\r\n"))
            << trace;
    }
}

TEST(ParseConditionLine, KeepsAtMost49CharactersOfTheDate) {
    RequestConditions conditions;
    ResetConditions(&conditions);
    ParseConditionLine(("If-Modified-Since: " + std::string(80, 'd')).c_str(), &conditions);
    EXPECT_EQ(std::string(conditions.ifModifiedSince), std::string(49, 'd'));
}

} // namespace
} // namespace kxr::httpd
