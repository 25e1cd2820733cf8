/* The engine utility library. */
#ifndef KXR_KXRUTIL_H
#define KXR_KXRUTIL_H

#include <stdint.h>

#include "kxr/kxrutil_export.h"
#include "kxr/mediacmd.h"

class TiXmlDocument;

/* Fills an empty document with the XML answer that describes the record;
 * tcType is the timecode type for the position texts. Returns 1 when done. */
KXRUTIL_EXPORT int32_t MediaCmdToXML(TiXmlDocument* document, const MediaCmd* record,
                                     uint32_t tcType);

extern "C" {
/* Reads a position given in another form than timecode, hexadecimal or a
 * plain decimal; returns 1 when the text was understood, else 0 with the
 * value untouched. */
KXRUTIL_EXPORT int32_t gsFromString(const char* text, int32_t* valueOut);
}

#endif
