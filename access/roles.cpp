#include "access/roles.h"

#include <algorithm>

#include "access/request_text.h"
#include "access/text_match.h"

namespace kxr::access {

namespace {

// The router hands a request to the host when any of these stands anywhere
// in its text, header lines and body included.
constexpr std::string_view kHostRelayMarkers[] = {
    "/vorn?request", "/tarvikcmd?", "/config?",  "/options?",
    "/descriptors?", "/webrtc",     "/monitor/",
};

// Command words that change state. The dispatcher looks for its words as
// substrings of the path and the first of its table wins; any of these
// anywhere in the path counts, so the table's order cannot matter here.
constexpr std::string_view kXmlCommandsThatChange[] = {"MakeDir", "ErrorLogSave"};
constexpr std::string_view kPageCommandsThatChange[] = {"SetErrorLogClear", "SetErrorLogSave",
                                                        "SetErrorLogStop", "SetErrorLogStart"};

// Page query keys that act on the engine, or that move the channel every
// later request starts from ("setchannel="). Each is the start of an "&"
// piece of the query, in any case; every page request parses its query,
// whatever page or value it asks for.
constexpr std::string_view kPageControlKeys[] = {
    "mode=", "setchannel=", "load=", "eject", "play", "stop", "pause", "record", "recstop", "seek=",
};

// The MediaCmd command words that only ask; every other command, and a
// query without a command word, needs an operator.
constexpr std::string_view kMediaCmdQueries[] = {"GetState", "GetValue", "ValueGet",
                                                 "ValueSupported"};
// A first piece with this prefix comes before the command word.
constexpr std::string_view kMediaCmdLeadIn = "KXRXMLMediaCmd";

bool Contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

template <size_t N> bool ContainsAny(std::string_view text, const std::string_view (&words)[N]) {
    return std::any_of(std::begin(words), std::end(words),
                       [text](std::string_view word) { return Contains(text, word); });
}

template <size_t N>
bool StartsWithAnyNoCase(std::string_view text, const std::string_view (&words)[N]) {
    return std::any_of(std::begin(words), std::end(words),
                       [text](std::string_view word) { return StartsWithNoCase(text, word); });
}

// The non-empty pieces between "&" separators, as the page and MediaCmd
// parsers split a query.
template <typename Fn> void ForEachPiece(std::string_view query, Fn fn) {
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string_view::npos)
            end = query.size();
        if (end > start)
            fn(query.substr(start, end - start));
        start = end + 1;
    }
}

bool MediaCmdOnlyAsks(std::string_view query) {
    std::string_view command;
    bool first = true;
    ForEachPiece(query, [&](std::string_view piece) {
        if (command.empty() && !(first && StartsWithNoCase(piece, kMediaCmdLeadIn)))
            command = piece;
        first = false;
    });
    return StartsWithAnyNoCase(command, kMediaCmdQueries);
}

Role XmlRole(const ApiRequestText& read) {
    if (ContainsAny(read.path, kXmlCommandsThatChange))
        return Role::Operator;
    if (Contains(read.path, "MediaCmd") && !MediaCmdOnlyAsks(read.query))
        return Role::Operator;
    return Role::Viewer;
}

Role PageRole(const ApiRequestText& read) {
    if (ContainsAny(read.path, kPageCommandsThatChange))
        return Role::Operator;
    bool control = false;
    ForEachPiece(read.query, [&control](std::string_view piece) {
        control = control || StartsWithAnyNoCase(piece, kPageControlKeys);
    });
    return control ? Role::Operator : Role::Viewer;
}

// What the router and the dispatcher could do with the text.
Role RoutedRole(std::string_view text) {
    if (ContainsAny(text, kHostRelayMarkers))
        return Role::Admin;
    const ApiRequestText read = ReadApiRequestText(text);
    if (Contains(read.path, "KXRXML"))
        return XmlRole(read);
    if (Contains(read.path, "KXR"))
        return PageRole(read);
    // Static files and listings.
    return Role::Viewer;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

Role RequiredRole(std::string_view requestLine, std::string_view routedText) {
    // HEAD is served from files and OPTIONS has a fixed answer: neither
    // reaches the router.
    if (StartsWith(requestLine, "HEAD ") || StartsWith(requestLine, "OPTIONS "))
        return Role::Viewer;
    const Role routed = RoutedRole(routedText);
    // The editing methods exist to change things, whatever the router makes
    // of them.
    if (StartsWith(requestLine, "PUT ") || StartsWith(requestLine, "PATCH ") ||
        StartsWith(requestLine, "DELETE "))
        return std::max(routed, Role::Operator);
    return routed;
}

} // namespace kxr::access
