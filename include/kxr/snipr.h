/* The clip-name library: clip names are 8 characters wide and need not be
 * terminated inside that width. */
#ifndef KXR_SNIPR_H
#define KXR_SNIPR_H

#include <stdint.h>

#include "kxr/snipr_export.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SNIPR_CLIP_WIDTH 8

/* Copies at most 8 characters, stopping at a terminator, then terminates the
 * copy: the target needs 9 bytes. */
SNIPR_EXPORT void strcpyClip(void* target, const void* source);
/* 0 when both names are equal within 8 characters; trailing blanks do not
 * count. Otherwise the sign of the first difference. */
SNIPR_EXPORT int32_t strcmpClip(const void* a, const void* b);
/* Non-zero for the engine's special names ("::Black", "::Test", "::Bars",
 * "::VTR_TC", "::Film", "::Edit" and any other name beginning "::"). */
SNIPR_EXPORT int32_t IsSpecialClip(const void* name);
/* Writes a terminator at the width; the buffer holds width + 1 bytes. Blanks
 * stay: a name of blanks is meaningful to the engine. */
SNIPR_EXPORT void termClip(void* name, uint32_t width);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif
