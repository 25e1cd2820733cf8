#include "api/my_http_client.h"

#include "files/file_roots.h"

namespace kxr {

uint32_t selectedChannel = 0;

CHttpRequest::~CHttpRequest() = default;

// The file roots are read once, when the module is loaded.
CMyHttpClient::CMyHttpClient() {
    LoadFileRoots(this);
}

CMyHttpClient::~CMyHttpClient() {
    FreeFileRoots(this);
}

int32_t CMyHttpClient::HandleRequest(const char* /*requestText*/, char** /*bodyOut*/,
                                     int32_t* /*lengthOut*/, CHttpRequest* /*request*/) {
    // No command of the API interface is served yet: every request goes on
    // to the file server.
    return 0;
}

void CMyHttpClient::Reserved(uint32_t /*first*/, uint32_t /*second*/) {}

} // namespace kxr
