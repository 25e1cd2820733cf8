// Module-wide state shared by the exports, the router and the path check:
// the module-wide critical section and the API object.
#ifndef KXR_MODULE_MODULE_STATE_H
#define KXR_MODULE_MODULE_STATE_H

#include <cstdint>

#include "answer/module_section.h"

namespace kxr {

using DispatchFn = int32_t (*)(const char* requestText, char** bodyOut, int32_t* lengthOut,
                               CHttpRequest* request);
// Runs the API dispatcher: HandleRequest of the API object, or the function
// a test put in its place.
int32_t Dispatch(const char* requestText, char** bodyOut, int32_t* lengthOut,
                 CHttpRequest* request);
// Tests replace the dispatcher; null goes back to the API object.
void SetDispatchForTest(DispatchFn dispatch);

} // namespace kxr

#endif
