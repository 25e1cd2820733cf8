// Request reception without sockets: the bytes arrive in chunks whose sizes
// the input chooses, are read as request and header lines, the target is
// decoded and checked for parent segments, and the header lines are planned
// into a file answer.
#include <algorithm>
#include <memory>

#include "fuzz_check.h"
#include "httpd/file_conditions.h"
#include "httpd/request_reader.h"

struct Source {
    const uint8_t* data;
    size_t size, pos;
    uint8_t chunk;
};

static int64_t Receive(void* context, char* buffer, size_t count, int* error) {
    auto* s = static_cast<Source*>(context);
    if (s->pos >= s->size) {
        // Mostly the peer closes; sometimes the wait runs out or it resets.
        *error = s->chunk % 7 == 0 ? 10060 : 10054;
        return s->chunk % 3 == 0 ? -1 : 0;
    }
    const size_t n = std::min({s->chunk == 0 ? count : s->chunk, count, s->size - s->pos});
    std::memcpy(buffer, s->data + s->pos, n);
    s->pos += n;
    return static_cast<int64_t>(n);
}

void Fuzz(const uint8_t* data, size_t size) {
    using namespace kxr::httpd;
    if (size < 2)
        return;
    Source source{data + 2, size - 2, 0, data[0]};
    const size_t capacity = data[1] % 2 == 0 ? kRequestLineSize : 1 + data[1] * 4u;
    auto record = std::make_unique<ConnectionRecord>();
    std::memset(record.get(), 0, sizeof(ConnectionRecord));
    auto line = std::make_unique<char[]>(capacity);
    char path[kPathBufferSize] = "./";

    const int32_t n = ReadRequestLineFrom(record.get(), line.get(), capacity, Receive, &source);
    if (n < 0)
        return;
    Require(std::strlen(line.get()) <= static_cast<size_t>(n) &&
            record->recvBuffer[record->recvCount] == 0);
    const char* space = std::strchr(line.get(), ' ');
    DecodeRequestPath(space != nullptr ? space + 1 : line.get(), path + 2, sizeof path - 2);
    (void)HasParentSegment(path);

    RequestConditions conditions;
    ResetConditions(&conditions);
    for (int i = 0; i < 64; ++i) {
        if (ReadRequestLineFrom(record.get(), line.get(), capacity, Receive, &source) <= 0)
            break;
        ParseConditionLine(line.get(), &conditions);
    }
    auto plan = std::make_unique<FilePlan>();
    for (int64_t fileSize : {INT64_C(0), INT64_C(1), INT64_C(5), INT64_C(1000),
                             static_cast<int64_t>(size), INT64_C(1) << 40}) {
        PlanFileAnswer(conditions, fileSize, "Tue, 05 Mar 2024 13:05:09 GMT", plan.get());
        Require(plan->status != 206 || (plan->start >= 0 && plan->start < fileSize));
        RequireTerminated(plan->headerText, sizeof plan->headerText);
    }
}
