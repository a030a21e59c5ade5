// pixfilter: named picture effects on 32-bit blue-green-red-alpha frames,
// and two helpers that darken a picture around a rectangle and frame it.
//
// Pictures are width x height pixels of 4 bytes (B, G, R, A). Rows lie |stride|
// bytes apart, starting with the first row in memory; the sign of the stride is
// ignored. Output buffers handed back by eil_process_image2 are packed
// (width * 4 bytes per row) and belong to the effect.
//
// Calling order: eil_create_image_effect, any eil_set_parameter,
// eil_begin_process_image for a frame size, eil_process_image or
// eil_process_image2 for each frame of that size, eil_end_process_image, then
// begin again for a new size or eil_close_effect. One thread at a time per effect.
#ifndef PIXFILTER_PIXFILTER_H
#define PIXFILTER_PIXFILTER_H

#include <stdint.h>

#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(PIXFILTER_BUILDING)
#define PIXFILTER_API __attribute__((visibility("default")))
#else
#define PIXFILTER_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Opaque effect handle; 0 means "no effect".
typedef struct eil_effect* eil_handle;

// The only picture format: 4 bytes per pixel, blue, green, red, alpha.
#define EIL_FORMAT_BGRA32 1

// Creates the effect registered under exactly this name (case-sensitive):
// "BlackAndWhite", "Blur", "Coloryawp", "Emboss", "Engrave", "Exposal",
// "InvertColor", "Mirror", "Purple", "Rotate", "Saltyawp", "Sharpen", "Spooky".
// Answers 0 for an unknown name or when memory is short.
PIXFILTER_API eil_handle eil_create_image_effect(const char* name);

// Sets one named parameter; the value is size bytes at value. Answers false for
// an unknown name, a wrong size or a value the effect refuses.
PIXFILTER_API bool eil_set_parameter(eil_handle effect, const char* name, const void* value,
                                     int32_t size);

// Binds the effect to a frame size and makes its buffers. format must be 1;
// width and height positive; |stride| at least width * 4. wantOutput (tested as
// a byte) asks for the packed output buffer that eil_process_image2 needs.
PIXFILTER_API bool eil_begin_process_image(eil_handle effect, int32_t format, int32_t stride,
                                           int32_t width, int32_t height, int32_t wantOutput);

// Applies the effect to the picture in place. Answers false when the effect
// could not run (no begin, null pixels).
PIXFILTER_API bool eil_process_image(eil_handle effect, void* pixels);

// Applies the effect into the output buffer, leaving the picture untouched, and
// stores the buffer's address in *output. False when there is no output buffer.
PIXFILTER_API bool eil_process_image2(eil_handle effect, const void* pixels, void** output);

// Releases the buffers made by eil_begin_process_image.
PIXFILTER_API bool eil_end_process_image(eil_handle effect);

// Destroys the effect; the handle is invalid afterwards.
PIXFILTER_API bool eil_close_effect(eil_handle effect);

// Darkens every pixel outside the rectangle (columns left..right, rows
// rowB..rowA, compared as unsigned numbers) by subtracting gloomColour from
// each of its four bytes with saturation at 0. pixels is packed, width * 4
// bytes per row. flipRows counts rowA and rowB from the other end of the buffer.
PIXFILTER_API void GloomExcludeRect(void* pixels, int32_t width, int32_t height, int32_t rowA,
                                    int32_t rowB, int32_t left, int32_t right,
                                    uint32_t gloomColour, int32_t flipRows);

// GloomExcludeRect, then a frame lineWidth pixels thick in lineColour (dashed
// dashLength on, dashLength off when dashLength > 0) and eight 7 x 7 hollow
// handles at the corners and edge midpoints. Nothing is drawn outside the picture.
PIXFILTER_API void DrawRect(void* pixels, int32_t width, int32_t height, int32_t rowA,
                            int32_t rowB, int32_t left, int32_t right, int32_t dashLength,
                            int32_t flipRows, uint32_t gloomColour, uint32_t lineColour,
                            int32_t lineWidth);

#ifdef __cplusplus
}
#endif

#endif
