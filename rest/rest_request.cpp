#include "rest/rest_request.h"

#include "httpd/request_reader.h"

namespace kxr::rest {

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";
// Content-Length beyond this many digits cannot fit any buffer.
constexpr size_t kLengthDigitsMax = 9;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsToken(std::string_view text) {
    if (text.empty())
        return false;
    for (const char c : text)
        if (c < 'A' || c > 'Z')
            return false;
    return true;
}

bool SplitPath(std::string_view path, std::vector<std::string>* segments) {
    path.remove_prefix(kApiPrefix.size());
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        std::string segment;
        if (!PercentDecode(path.substr(start, end - start), false, &segment))
            return false;
        segments->push_back(std::move(segment));
        start = end + 1;
    }
    return true;
}

bool SplitQuery(std::string_view query, std::vector<QueryParameter>* parameters) {
    size_t start = 0;
    while (start < query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string_view::npos)
            end = query.size();
        const std::string_view piece = query.substr(start, end - start);
        if (!piece.empty()) {
            const size_t equals = piece.find('=');
            QueryParameter parameter;
            const std::string_view name = piece.substr(0, equals);
            parameter.raw = equals == std::string_view::npos ? "" : piece.substr(equals + 1);
            if (!PercentDecode(name, true, &parameter.name) ||
                !PercentDecode(parameter.raw, true, &parameter.value))
                return false;
            parameters->push_back(std::move(parameter));
        }
        start = end + 1;
    }
    return true;
}

std::optional<Request> Fail(ReadFailure* failure, int status, std::string detail) {
    failure->status = status;
    failure->detail = std::move(detail);
    return std::nullopt;
}

} // namespace

const QueryParameter* Request::Parameter(std::string_view name) const {
    for (const QueryParameter& parameter : query)
        if (parameter.name == name)
            return &parameter;
    return nullptr;
}

std::string_view Request::Header(std::string_view name) const {
    return httpd::HeaderValue(head, name);
}

std::optional<uint64_t> ReadDigits(std::string_view text, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits || text.size() > 19)
        return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

std::string PercentEncode(std::string_view text, bool (*keep)(unsigned char)) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (keep(u)) {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

bool PercentDecode(std::string_view text, bool plusIsBlank, std::string* out) {
    out->clear();
    out->reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            c = static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else if (c == '+' && plusIsBlank) {
            c = ' ';
        }
        if (c == '\0')
            return false;
        out->push_back(c);
    }
    return true;
}

bool IsApiRequestText(std::string_view requestText) {
    const size_t blank = requestText.find(' ');
    return blank != std::string_view::npos &&
           requestText.substr(blank + 1, kApiPrefix.size()) == kApiPrefix;
}

std::optional<Request> ParseRequest(std::string_view bytes, size_t limit, ReadFailure* failure) {
    const size_t headEnd = bytes.find(kHeadEnd);
    if (headEnd == std::string_view::npos) {
        if (bytes.size() >= limit)
            return Fail(failure, 413, "The request head does not fit the server's buffer.");
        return Fail(failure, 400, "The request head is incomplete.");
    }
    Request request;
    request.head.assign(bytes.substr(0, headEnd + 2));

    const std::string_view head = bytes.substr(0, headEnd);
    const std::string_view line = head.substr(0, head.find("\r\n"));
    const size_t firstBlank = line.find(' ');
    const size_t secondBlank =
        firstBlank == std::string_view::npos ? firstBlank : line.find(' ', firstBlank + 1);
    if (secondBlank == std::string_view::npos || line.substr(secondBlank + 1, 5) != "HTTP/")
        return Fail(failure, 400, "The request line is malformed.");
    request.method.assign(line.substr(0, firstBlank));
    request.target.assign(line.substr(firstBlank + 1, secondBlank - firstBlank - 1));
    if (!IsToken(request.method) || request.target.compare(0, kApiPrefix.size(), kApiPrefix) != 0)
        return Fail(failure, 400, "The request line is malformed.");
    request.headOnly = request.method == "HEAD";

    const size_t mark = request.target.find('?');
    const std::string_view target(request.target);
    if (!SplitPath(target.substr(0, mark), &request.segments) ||
        (mark != std::string_view::npos && !SplitQuery(target.substr(mark + 1), &request.query)))
        return Fail(failure, 400, "The request target holds an escaped zero byte.");

    if (!request.Header("Transfer-Encoding").empty())
        return Fail(failure, 411, "Send the body with a Content-Length, not in chunks.");
    const std::string_view lengthText = request.Header("Content-Length");
    const std::optional<uint64_t> declared =
        lengthText.empty() ? std::optional<uint64_t>(0) : ReadDigits(lengthText, kLengthDigitsMax);
    if (!declared)
        return Fail(failure, 400, "The Content-Length is not a decimal number.");
    const size_t length = static_cast<size_t>(*declared);
    const size_t bodyStart = headEnd + kHeadEnd.size();
    if (length > 0 && (bodyStart >= limit || length > limit - bodyStart))
        return Fail(failure, 413,
                    "The body is larger than the " + std::to_string(limit - bodyStart) +
                        " bytes this request has room for.");
    if (bytes.size() - bodyStart < length)
        return Fail(failure, 400, "The body is shorter than its Content-Length.");
    request.body.assign(bytes.substr(bodyStart, length));
    return request;
}

} // namespace kxr::rest
