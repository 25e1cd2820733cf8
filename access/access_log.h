// The access log: one Combined Log Format line per request, with the user
// name, written by a thread of its own so that connection threads never wait
// for the disk.
#ifndef KXR_ACCESS_ACCESS_LOG_H
#define KXR_ACCESS_ACCESS_LOG_H

#include <cstdint>
#include <string>

namespace kxr::access {

struct AccessEntry {
    uint32_t clientAddr = 0; // network byte order
    std::string user;        // empty: no authenticated user
    int64_t unixTime = 0;    // when the request arrived
    std::string requestLine;
    int32_t status = 0; // 0: no answer was sent
    int64_t bytes = 0;  // head and body
    std::string referer;
    std::string userAgent;
};

// host ident user [time] "request" status bytes "referer" "agent", without
// the line end; quotes, backslashes and control bytes in client texts are
// escaped so that a request cannot forge a line.
std::string FormatAccessLine(const AccessEntry& entry);

// Opens (appending) the log at path and starts its writer; false, with an
// ErrOut line, when the file cannot be opened. An open log is closed first.
bool OpenAccessLog(const char* path);
// Writes what is queued, then stops the writer and closes the file.
void CloseAccessLog();
bool AccessLogIsOpen();
// Queues one entry; never blocks on the file. While the queue is full (the
// disk cannot keep up) entries are counted and dropped, and the writer
// reports how many.
void SubmitAccessEntry(const AccessEntry& entry);

} // namespace kxr::access

#endif
