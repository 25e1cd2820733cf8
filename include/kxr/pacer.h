/* The clock library. */
#ifndef KXR_PACER_H
#define KXR_PACER_H

#include <stdint.h>

#include "kxr/pacer_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Milliseconds of the monotonic clock since the library was loaded; wraps
 * after 2^32 ms, so compare stamps by their unsigned difference. */
PACER_EXPORT uint32_t vsyncGetCurMs(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif
