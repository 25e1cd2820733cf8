#include "rest_client.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <sstream>

#include "tests/support/net_test_util.h"

namespace kxrit {

namespace plat = kxr::platform;
using Clock = std::chrono::steady_clock;

namespace {

std::string Lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

uint32_t LeftMs(Clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    return left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
}

} // namespace

std::string HttpAnswer::Header(const std::string& name) const {
    const std::string line = "\r\n" + Lowered(name) + ":";
    const size_t at = Lowered(head).find(line);
    if (at == std::string::npos)
        return std::string();
    const size_t start = head.find_first_not_of(' ', at + line.size());
    return head.substr(start, head.find("\r\n", start) - start);
}

Json HttpAnswer::JsonBody() const {
    const Json value = Json::parse(body, nullptr, false);
    EXPECT_FALSE(value.is_discarded()) << head << "\n" << body;
    return value;
}

HttpAnswer CallRaw(uint16_t port, const std::string& request) {
    const std::string raw = kxrtest::Exchange(port, request);
    const size_t end = raw.find("\r\n\r\n");
    HttpAnswer answer;
    answer.status = raw.compare(0, 9, "HTTP/1.1 ") == 0 ? std::atoi(raw.c_str() + 9) : 0;
    answer.head = raw.substr(0, end);
    answer.body = end == std::string::npos ? std::string() : raw.substr(end + 4);
    return answer;
}

HttpAnswer Call(uint16_t port, const std::string& method, const std::string& target,
                const std::string& body, const std::string& headers) {
    std::string request = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers;
    if (!body.empty())
        request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return CallRaw(port, request + "\r\n" + body);
}

EventReader::EventReader(uint16_t port, std::optional<uint64_t> lastEventId) {
    socket_ = plat::SocketOpenTcp();
    if (socket_ == plat::kInvalidSocket || !plat::SocketConnect(socket_, plat::kIpv4Loopback, port))
        return;
    std::string request = "GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                          "Accept: text/event-stream\r\n";
    if (lastEventId)
        request += "Last-Event-ID: " + std::to_string(*lastEventId) + "\r\n";
    request += "\r\n";
    plat::SocketSend(socket_, request.data(), request.size());
}

EventReader::~EventReader() {
    if (socket_ != plat::kInvalidSocket)
        plat::SocketClose(socket_);
}

bool EventReader::Receive(uint32_t timeoutMs) {
    if (closed_ || socket_ == plat::kInvalidSocket ||
        plat::SocketWaitReadable(socket_, timeoutMs) != 1)
        return false;
    char chunk[4096];
    const int64_t n = plat::SocketReceive(socket_, chunk, sizeof chunk);
    if (n <= 0) {
        closed_ = true;
        return false;
    }
    buffer_.append(chunk, static_cast<size_t>(n));
    return true;
}

std::string EventReader::Head(uint32_t timeoutMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t end = 0;
    while (head_.empty() && (end = buffer_.find("\r\n\r\n")) == std::string::npos)
        if (!Receive(LeftMs(until)))
            return head_;
    if (head_.empty()) {
        head_ = buffer_.substr(0, end);
        buffer_.erase(0, end + 4);
    }
    return head_;
}

std::optional<ServerEvent> EventReader::Next(uint32_t timeoutMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (Head(timeoutMs).empty())
        return std::nullopt;
    for (;;) {
        size_t end;
        while ((end = buffer_.find("\n\n")) != std::string::npos) {
            const std::string block = buffer_.substr(0, end);
            buffer_.erase(0, end + 2);
            ServerEvent event;
            bool hasData = false;
            std::istringstream lines(block);
            for (std::string line; std::getline(lines, line);) {
                if (line.rfind("id: ", 0) == 0)
                    event.id = std::stoull(line.substr(4));
                else if (line.rfind("event: ", 0) == 0)
                    event.name = line.substr(7);
                else if (line.rfind("data: ", 0) == 0) {
                    event.data = Json::parse(line.substr(6));
                    hasData = true;
                }
            }
            if (hasData)
                return event;
        }
        if (!Receive(LeftMs(until)))
            return std::nullopt;
    }
}

bool EventReader::Ends(uint32_t timeoutMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closed_) {
        if (!Receive(LeftMs(until)) && !closed_)
            return false;
    }
    return true;
}

} // namespace kxrit
