// Module-wide state shared by the exports, the router and the path check:
// the module-wide critical section and the API object.
#ifndef KXR_MODULE_MODULE_STATE_H
#define KXR_MODULE_MODULE_STATE_H

#include <cstdint>

#include "answer/my_http_client.h"

namespace kxr {

// ---- the module-wide critical section ----
// Each use first tests the ready flag and is skipped while it is 0.
bool ModuleSectionReady();
// Creates the section unless it exists.
void ModuleSectionCreate();
// Clears the flag and deletes the section if it exists.
void ModuleSectionDelete();
void ModuleSectionEnter();
void ModuleSectionLeave();

// ---- the API object ----
// The single instance, made when the module is loaded.
CMyHttpClient& TheHttpClient();

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
