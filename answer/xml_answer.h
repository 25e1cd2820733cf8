// The common form of every XML answer: a declaration "1.0" / "iso-8859-1", a
// root named after the answer whose first child is a comment naming the
// answer's kind, data elements carrying a "Value" attribute, printed compactly.
#ifndef KXR_ANSWER_XML_ANSWER_H
#define KXR_ANSWER_XML_ANSWER_H

#include <cstdint>
#include <string>

#include <tinyxml.h>

namespace kxr {

class CMyHttpClient;
class CHttpRequest;

// Every answer builder has this form: it returns 1 when it answered and then
// stores an RVAlloc body and its length (without the terminating zero).
using AnswerBuilder = int32_t (*)(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                                  CHttpRequest* request);

class XmlAnswer {
public:
    // kindWords goes between " Tarvik " and " xml structure version 1,0 ".
    XmlAnswer(const char* rootName, const char* kindWords);

    TiXmlDocument& Document() { return document_; }
    TiXmlElement* Root() { return root_; }

    // <name Value="v">v</name> under parent (the root when parent is null).
    TiXmlElement* AddValue(const char* name, int32_t value, TiXmlElement* parent = nullptr);
    TiXmlElement* AddValue(const char* name, const char* value, TiXmlElement* parent = nullptr);
    // <name>text</name>, no attribute.
    TiXmlElement* AddText(const char* name, const char* text, TiXmlElement* parent = nullptr);
    // <name /> or <name>...</name> to be filled by the caller.
    TiXmlElement* AddElement(const char* name, TiXmlElement* parent = nullptr);

    // The compact printed form.
    std::string Print() const;
    // Prints into an RVAlloc body of the printed length + extra bytes (at least
    // one, for the terminating zero). Returns 1; an empty print makes no body
    // and a length of 0.
    int32_t Finish(char** bodyOut, int32_t* lengthOut, size_t extra = 1) const;

private:
    TiXmlDocument document_;
    TiXmlElement* root_ = nullptr;
};

// Prints any document in the compact form answers use.
std::string PrintCompact(const TiXmlDocument& document);

// Hands a text over as an answer: an RVAlloc block of its length + extra
// bytes (at least one) holding the text and a zero. Returns 1; an empty text
// makes no body and a length of 0. A failed allocation also gives no body.
int32_t MakeAnswerBody(const std::string& text, char** bodyOut, int32_t* lengthOut,
                       size_t extra = 1);

} // namespace kxr

#endif
