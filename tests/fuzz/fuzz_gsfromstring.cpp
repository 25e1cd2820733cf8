// The engine utility library on untrusted input: any text as a position, and
// any bytes as a MediaCmd record. The rendered record must always read back as
// a well-formed answer.
#include "kxr/kxrutil.h"

#include <tinyxml.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int32_t value = 0x5A5A5A5A;
    if (gsFromString(text.c_str(), &value) == 0 && value != 0x5A5A5A5A) {
        std::abort(); // a refusal must leave the value alone
    }

    MediaCmd record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, data, size < sizeof record ? size : sizeof record);
    uint32_t tcType = 0;
    std::memcpy(&tcType, record.header, sizeof tcType);

    TiXmlDocument document;
    if (MediaCmdToXML(&document, &record, tcType) != 1) {
        std::abort();
    }
    TiXmlPrinter printer;
    printer.SetStreamPrinting();
    document.Accept(&printer);

    TiXmlDocument readBack;
    readBack.Parse(printer.CStr());
    if (readBack.Error() || readBack.RootElement() == nullptr ||
        std::strcmp(readBack.RootElement()->Value(), "MediaCmd") != 0) {
        std::abort();
    }
    return 0;
}
