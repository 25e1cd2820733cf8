// The module-wide critical section for a scope: the JSON face holds it
// around what touches the engine and the shared answer state, as the router
// does for the dispatcher, and never while it sends or waits.
#ifndef KXR_REST_REST_SECTION_H
#define KXR_REST_REST_SECTION_H

#include "answer/module_section.h"

namespace kxr::rest {

class SectionLock {
public:
    SectionLock() { ModuleSectionEnter(); }
    ~SectionLock() { ModuleSectionLeave(); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;
};

} // namespace kxr::rest

#endif
