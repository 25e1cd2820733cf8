#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "httpd/request_reader.h"
#include "httpd_test_support.h"

namespace kxr::httpd {
namespace {

struct DecodeCase {
    const char* source;
    size_t capacity;
    std::string expected;
};

TEST(DecodeRequestPath, DecodesAndStopsAsClientsExpect) {
    const std::vector<DecodeCase> cases = {
        {"/a%20b.txt HTTP/1.1", 64, "/a b.txt"},
        {"/x?y=1 HTTP/1.1", 64, "/x"},
        {"/%zz HTTP/1.1", 64, "/%zz"},
        {"/%4", 64, "/%4"},
        {"/%", 64, "/%"},
        {"/a+b", 64, "/a+b"},
        {"/%2F%2e%2E", 64, "//.."},
        {"/%4a%4A", 64, "/JJ"},
        // ':' to '?' sit above '9' and count as digits 10 to 15.
        {"/%3:", 64, "/:"},
        {"/%G0", 64, "/%G0"},
        {"/%\xc1"
         "0",
         64,
         "/%\xc1"
         "0"},
        {"/abcdef", 4, "/ab"},
        {"", 8, ""},
        {"/%41%42", 3, "/A"},
    };
    for (const DecodeCase& c : cases) {
        char out[64];
        std::memset(out, 'X', sizeof out);
        EXPECT_EQ(DecodeRequestPath(c.source, out, c.capacity), 1);
        EXPECT_EQ(std::string(out), c.expected) << c.source;
        EXPECT_LT(std::strlen(out), c.capacity);
    }
}

TEST(HasParentSegment, OnlyWholeSegmentsCount) {
    const std::vector<std::pair<const char*, bool>> cases = {
        {".//../secret", true}, {".//a/..\\b", true}, {".//a/..", true},   {"..", true},
        {"..\\x", true},        {".//a..b", false},   {".//a/...", false}, {".//a/..b", false},
        {".//b../c", false},    {".//", false},       {"\\..\\", true},
    };
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
        if (self->next >= self->chunks.size()) {
            if (self->finalError != 0) {
                *error = self->finalError;
                return -1;
            }
            return 0;
        }
        const std::string& chunk = self->chunks[self->next++];
        const size_t n = chunk.size() < count ? chunk.size() : count;
        std::memcpy(buffer, chunk.data(), n);
        return static_cast<int64_t>(n);
    }
};

struct LineCase {
    std::vector<std::string> chunks;
    int finalError;
    size_t capacity;
    std::vector<std::pair<int32_t, std::string>> lines;
};

TEST(ReadRequestLine, SplitsLinesAcrossReceives) {
    const std::vector<LineCase> cases = {
        {{"GET / HTTP/1.1\r\nHost: x\r\n\r\n"},
         0,
         4096,
         {{14, "GET / HTTP/1.1"}, {7, "Host: x"}, {0, ""}, {0, ""}}},
        // A bare LF keeps the last character.
        {{"GET /a HTTP/1.0\nB: c\n"}, 0, 4096, {{15, "GET /a HTTP/1.0"}, {4, "B: c"}}},
        // Line spread over three receives, CR in one and LF in the next.
        {{"GE", "T /x HTTP/1.1\r", "\nNext\r\n"}, 0, 4096, {{15, "GET /x HTTP/1.1"}, {4, "Next"}}},
        // Peer closes mid-line; a trailing CR is dropped too.
        {{"partial\r"}, 0, 4096, {{7, "partial"}, {0, ""}}},
        // Cut to capacity - 1.
        {{"abcdefghij\r\nk\r\n"}, 0, 5, {{4, "abcd"}, {1, "k"}}},
        // Time-out gives -1, another error ends the line with what came.
        {{"GET /"}, platform::kSockErrTimedOut, 4096, {{-1, ""}}},
        {{"GET /"}, platform::kSockErrConnectionReset, 4096, {{5, "GET /"}}},
    };
    for (const LineCase& c : cases) {
        ChunkSource source{c.chunks, 0, c.finalError};
        auto record = std::make_unique<ConnectionRecord>();
        *record = ConnectionRecord{};
        for (const auto& [result, text] : c.lines) {
            std::vector<char> line(c.capacity, 'X');
            const int32_t n = ReadRequestLineFrom(record.get(), line.data(), line.size(),
                                                  ChunkSource::Receive, &source);
            EXPECT_EQ(n, result) << c.chunks[0];
            if (n >= 0) {
                EXPECT_EQ(std::string(line.data()), text) << c.chunks[0];
            }
            // The receive buffer always reads as text.
            EXPECT_EQ(record->recvBuffer[record->recvCount], '\0');
        }
    }
}

TEST(ReadRequestLine, ReadsFromSocketAndTimesOut) {
    test::RecordOnPair rp;
    rp.pair.Send("HEAD /x HTTP/1.1\r\nRange: bytes=1-2\r\n");
    char line[4096];
    EXPECT_EQ(ReadRequestLine(rp.record.get(), line, sizeof line), 16);
    EXPECT_STREQ(line, "HEAD /x HTTP/1.1");
    EXPECT_EQ(ReadRequestLine(rp.record.get(), line, sizeof line), 16);
    EXPECT_STREQ(line, "Range: bytes=1-2");
    // Nothing more comes: a short time-out makes the read give up with -1.
    platform::SocketSetReceiveTimeout(rp.pair.server, 100);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ReadRequestLine(rp.record.get(), line, sizeof line), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "recv() failed: error 10060\n");
}

} // namespace
} // namespace kxr::httpd
