// The engine utility library on untrusted input: any text as a position, and
// any bytes as a MediaCmd record. The rendered record must always read back as
// a well-formed answer.
#include "fuzz_check.h"
#include "kxr/kxrutil.h"

#include <tinyxml.h>

void Fuzz(const uint8_t* data, size_t size) {
    const std::string text = Text(data, size);
    int32_t value = 0x5A5A5A5A;
    // A refusal must leave the value alone.
    Require(gsFromString(text.c_str(), &value) != 0 || value == 0x5A5A5A5A);

    MediaCmd record{};
    std::memcpy(&record, data, size < sizeof record ? size : sizeof record);
    uint32_t tcType = 0;
    std::memcpy(&tcType, record.header, sizeof tcType);

    TiXmlDocument document;
    Require(MediaCmdToXML(&document, &record, tcType) == 1);
    TiXmlPrinter printer;
    printer.SetStreamPrinting();
    document.Accept(&printer);

    TiXmlDocument readBack;
    readBack.Parse(printer.CStr());
    Require(!readBack.Error() && readBack.RootElement() != nullptr &&
            std::strcmp(readBack.RootElement()->Value(), "MediaCmd") == 0);
}
