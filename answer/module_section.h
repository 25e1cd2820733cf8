// What every answer shares with the module frame: the module-wide critical
// section and the one API object. The frame (module/module_state.cpp) owns
// and defines them; the answer folders and the JSON face only use them.
#ifndef KXR_ANSWER_MODULE_SECTION_H
#define KXR_ANSWER_MODULE_SECTION_H

#include "answer/my_http_client.h"

namespace kxr {

// Each use of the section first tests the ready flag and is skipped while it
// is 0.
bool ModuleSectionReady();
// Creates the section unless it exists.
void ModuleSectionCreate();
// Clears the flag and deletes the section if it exists.
void ModuleSectionDelete();
void ModuleSectionEnter();
void ModuleSectionLeave();

// The single API object, made when the module is loaded.
CMyHttpClient& TheHttpClient();

} // namespace kxr

#endif
