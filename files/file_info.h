// The description of one file, directory, image sequence or root that every
// browsing answer carries inside its "FileDir" element.
#ifndef KXR_FILES_FILE_INFO_H
#define KXR_FILES_FILE_INFO_H

#include <cstdint>
#include <string>

#include <tinyxml.h>

namespace kxr {

class CMyHttpClient;

// Appends the description of path (local; a range form for a sequence) under
// its locator to parent. endOfList non-zero gives the short form (Locator and
// Path only); all non-zero adds the media file's extended description. For a
// sequence, path becomes the wildcard form of its first frame. Returns 1.
int32_t BuildFileInfo(CMyHttpClient* client, std::string& path, const char* locator,
                      int32_t isRootLevel, int32_t endOfList, int32_t all, TiXmlElement* parent,
                      uint32_t totalInDir);

// The thumbnail of a file (a.mov: a.picon.jpg) or of a sequence's wildcard
// form (clip*.dpx: clip.picon.jpg).
std::string ThumbnailPath(const std::string& path, bool sequence);

// The attribute letters of the platform's file attribute bits, "acdehorst".
std::string AttributeLetters(uint32_t attributes);

// <name>text</name>, and <name Value="n">n</name>.
TiXmlElement* AppendTextElement(TiXmlElement* parent, const char* name, const std::string& text);
TiXmlElement* AppendValueElement(TiXmlElement* parent, const char* name, int32_t value);
TiXmlElement* AppendValueElement(TiXmlElement* parent, const char* name, uint32_t value);

} // namespace kxr

#endif
