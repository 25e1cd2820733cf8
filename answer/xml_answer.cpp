#include "answer/xml_answer.h"

#include <algorithm>
#include <cstring>

#include "kxr/rvutil.h"

namespace kxr {

XmlAnswer::XmlAnswer(const char* rootName, const char* kindWords) {
    document_.LinkEndChild(new TiXmlDeclaration("1.0", "iso-8859-1", ""));
    root_ = new TiXmlElement(rootName);
    document_.LinkEndChild(root_);
    const std::string comment = std::string(" Tarvik ") + kindWords + " xml structure version 1,0 ";
    TiXmlComment* node = new TiXmlComment();
    node->SetValue(comment.c_str());
    root_->LinkEndChild(node);
}

TiXmlElement* XmlAnswer::AddElement(const char* name, TiXmlElement* parent) {
    TiXmlElement* element = new TiXmlElement(name);
    (parent != nullptr ? parent : root_)->LinkEndChild(element);
    return element;
}

TiXmlElement* XmlAnswer::AddValue(const char* name, int32_t value, TiXmlElement* parent) {
    return AddValue(name, std::to_string(value).c_str(), parent);
}

TiXmlElement* XmlAnswer::AddValue(const char* name, const char* value, TiXmlElement* parent) {
    TiXmlElement* element = AddText(name, value, parent);
    element->SetAttribute("Value", value);
    return element;
}

TiXmlElement* XmlAnswer::AddText(const char* name, const char* text, TiXmlElement* parent) {
    TiXmlElement* element = AddElement(name, parent);
    element->LinkEndChild(new TiXmlText(text));
    return element;
}

std::string XmlAnswer::Print() const {
    return PrintCompact(document_);
}

int32_t XmlAnswer::Finish(char** bodyOut, int32_t* lengthOut, size_t extra) const {
    return MakeAnswerBody(Print(), bodyOut, lengthOut, extra);
}

std::string PrintCompact(const TiXmlDocument& document) {
    TiXmlPrinter printer;
    printer.SetStreamPrinting();
    document.Accept(&printer);
    return printer.Str();
}

int32_t MakeAnswerBody(const std::string& text, char** bodyOut, int32_t* lengthOut, size_t extra) {
    *bodyOut = nullptr;
    *lengthOut = 0;
    if (text.empty()) {
        return 1;
    }
    const size_t size = text.size() + std::max<size_t>(extra, 1);
    char* body = static_cast<char*>(RVAlloc(size));
    if (body == nullptr) {
        return 1;
    }
    std::memcpy(body, text.data(), text.size());
    std::memset(body + text.size(), 0, size - text.size());
    *bodyOut = body;
    *lengthOut = static_cast<int32_t>(text.size());
    return 1;
}

} // namespace kxr
