// The module's exports: C names for the host, nothing else leaves the
// library.
#include "kxr/httpd2.h"

#include "kxr/httpd2_export.h"
#include "module/check_virtual.h"
#include "module/lifecycle.h"
#include "module/router.h"

extern "C" {

KXRHTTPD2_EXPORT int32_t kxrInit(void* reserved) {
    return kxr::kxrInit(reserved);
}

KXRHTTPD2_EXPORT int64_t kxrOpen(uint32_t reserved) {
    return kxr::kxrOpen(reserved);
}

KXRHTTPD2_EXPORT int32_t kxrClose(void* reserved) {
    return kxr::kxrClose(reserved);
}

KXRHTTPD2_EXPORT int32_t kxrCmd(void* reserved1, void* reserved2) {
    return kxr::kxrCmd(reserved1, reserved2);
}

KXRHTTPD2_EXPORT int32_t kxrConfigure(uint32_t reserved1, void* reserved2) {
    return kxr::kxrConfigure(reserved1, reserved2);
}

KXRHTTPD2_EXPORT int32_t kxrStart(void) {
    return kxr::kxrStart();
}

KXRHTTPD2_EXPORT uint32_t kxrQuit(void) {
    return kxr::kxrQuit();
}

KXRHTTPD2_EXPORT int32_t httpdSetMediaCmd(uint32_t reserved, KxrMediaCmdHandler handler) {
    return kxr::httpdSetMediaCmd(reserved, handler);
}

KXRHTTPD2_EXPORT int32_t kxrHttpdCallback(KxrHttpCallback callback) {
    return kxr::kxrHttpdCallback(callback);
}

KXRHTTPD2_EXPORT int32_t kxrCheckVirtual(char* path) {
    return kxr::kxrCheckVirtual(path);
}

KXRHTTPD2_EXPORT int32_t kxrHttpdRequest(struct ConnectionRecord* connection) {
    return kxr::kxrHttpdRequest(connection);
}

KXRHTTPD2_EXPORT int32_t kxrHttpdHandleRequest(const char* requestText, char** answerOut) {
    return kxr::kxrHttpdHandleRequest(requestText, answerOut);
}

} // extern "C"
