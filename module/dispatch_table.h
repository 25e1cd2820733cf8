// The command words of the API and the answer builder behind each. The two
// tables live in dispatch_table.cpp, in the order the dispatcher searches
// them: a request path is matched against the words as plain, case-sensitive
// substrings and the first word found wins.
//
// Every builder, XML answer or page alike, has the AnswerBuilder form of
// answer/xml_answer.h: (client, bodyOut, lengthOut, request), returning 1 when it
// answered. A builder that does not need the request ignores it. A null
// builder means the word is known but not answered yet: the request then ends
// as for a path without any command word.
#ifndef KXR_MODULE_DISPATCH_TABLE_H
#define KXR_MODULE_DISPATCH_TABLE_H

#include <cstddef>

#include "answer/xml_answer.h"

namespace kxr {

struct DispatchEntry {
    const char* word;
    AnswerBuilder builder;
    // When the path also holds variantWord, variant answers instead of
    // builder ("MediaCmd" with "&mpreview"). Null for the other words.
    const char* variantWord = nullptr;
    AnswerBuilder variant = nullptr;
};

// Requests under "KXRXML", after the channel selection.
inline constexpr size_t kXmlCommandCount = 16;
extern const DispatchEntry kXmlCommands[kXmlCommandCount];

// Requests under "KXR", after ParsePageQuery; the file answer ("PassThrough",
// then "Page") is tested before this table.
inline constexpr size_t kPageCommandCount = 25;
extern const DispatchEntry kPageCommands[kPageCommandCount];

// The first entry whose word path contains, or null.
const DispatchEntry* FindCommand(const DispatchEntry* table, size_t count, const char* path);

} // namespace kxr

#endif
