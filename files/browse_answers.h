// The browsing answers: "NextDirEntry" (and "NextDirEntryFlush") hands out a
// directory's entries one per request, "FileInfo" describes one file and
// "MakeDir" creates a directory. Each answers with a "FileDir" document.
#ifndef KXR_FILES_BROWSE_ANSWERS_H
#define KXR_FILES_BROWSE_ANSWERS_H

#include <cstdint>
#include <string>
#include <string_view>

namespace kxr {

class CMyHttpClient;
class CHttpRequest;

// Stands in for a locator and a path when there is nothing to describe.
inline constexpr const char* kEndOfList = "END OF LIST";

// ---- the arguments, the text after the request's first "?" ----

struct NextDirArgs {
    std::string directory; // a locator ending in "\\"; empty to list the roots
    std::string previous;  // the entry the client received last
    bool hasPrevious = false;
    bool listRoots = false;
};
NextDirArgs ParseNextDirArgs(std::string_view argument);

struct FileInfoArgs {
    std::string locator;
    std::string path; // mapped through the roots
    bool all = false;
};
FileInfoArgs ParseFileInfoArgs(std::string_view argument);

// The local directory of a directory locator under the first root whose name
// begins it; empty when no root does.
std::string LocalDirectoryOf(const std::string& directory);

// The local path of a "MakeDir" argument; false when it does not fit a path.
bool MakeDirPath(std::string_view argument, std::string* pathOut);

// ---- the answers as printed documents ----

std::string NextDirEntryAnswer(CMyHttpClient* client, std::string_view argument,
                               std::string_view requestText);
std::string FileInfoAnswer(CMyHttpClient* client, std::string_view argument);
std::string MakeDirAnswer(CMyHttpClient* client, std::string_view argument);

// ---- the answer builders of the dispatcher ----

int32_t HandleNextDirEntry(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                           CHttpRequest* request);
int32_t HandleFileInfo(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                       CHttpRequest* request);
int32_t HandleMakeDir(CMyHttpClient* client, char** bodyOut, int32_t* lengthOut,
                      CHttpRequest* request);

} // namespace kxr

#endif
