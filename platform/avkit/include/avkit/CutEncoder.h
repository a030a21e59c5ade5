// avkit cut encoder: the pictures of one H.264 group of pictures decoded and
// those shown from a cut onwards coded again with libx264, alike to the
// source (profile, level, size, picture format, colour) and with parameter
// sets of their own beside the source's, so both kinds of pictures can stand
// in one sample description.
#pragma once

#include <stdint.h>

#include "avkit/avkit.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AvkCutEncoder AvkCutEncoder;

// avcC: the source's AVC decoder configuration record. frameRate: the
// source's, for the encoder's rate control. Pictures shown in
// [fromMs, toMs) are coded again. Null when the record cannot be read or no
// decoder or encoder is there.
AVKIT_API AvkCutEncoder* ACE_Create(const uint8_t* avcC, int avcCSize, double frameRate, int64_t fromMs,
                                    int64_t toMs);
AVKIT_API void ACE_Delete(AvkCutEncoder* h);
// One source picture in decode order: its NAL units as the avcC says
// (length-prefixed) and when it is shown. Nonzero on success.
AVKIT_API int ACE_Decode(AvkCutEncoder* h, const uint8_t* data, int size, int64_t ptsMs);
// Decodes and codes what is still held. Nonzero on success.
AVKIT_API int ACE_Finish(AvkCutEncoder* h);

// The coded pictures, in decode order (which is the order they are shown):
// NAL units length-prefixed as the source's, and when each is shown.
AVKIT_API int ACE_PacketCount(const AvkCutEncoder* h);
AVKIT_API const uint8_t* ACE_Packet(const AvkCutEncoder* h, int index, int* size, int64_t* ptsMs, int* key);
// The source's avcC with the new parameter sets added; valid after ACE_Finish.
AVKIT_API const uint8_t* ACE_Setup(const AvkCutEncoder* h, int* size);
AVKIT_API const char* ACE_Error(const AvkCutEncoder* h);

#ifdef __cplusplus
}
#endif
