// blitkit: overlay drawing onto video frames, picture adjustment and the crop
// frame. Flat C functions on an opaque drawer handle; a null handle means none.
//
// Pixels are 32-bit blue, green, red, alpha (straight, not premultiplied).
// Every frame or bitmap is given as a pointer to the start of its buffer, a
// width, a height and a stride: |stride| bytes lie between two rows and must
// be at least width * 4 and at most BK_MAX_FRAME_SIDE * 4. A positive stride
// means the top row comes first in memory; a negative stride means the rows
// are stored bottom-up (the first row in memory is the bottom row), as the
// engine hands over its frames.
//
// Colours of texts and see-through colours are 0x00BBGGRR (red in the lowest
// byte); -1 means "no see-through colour".
//
// A drawer may be given overlays on one thread while another thread blends:
// every call on a drawer takes the drawer's own lock.
#pragma once

#include <stdint.h>

#if defined(BLITKIT_BUILD)
#define BLITKIT_API __attribute__((visibility("default")))
#else
#define BLITKIT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct BkDrawer BkDrawer;
typedef struct BkFont BkFont;

// Rectangle in pixels, top-down coordinates; right and bottom are exclusive.
typedef struct BkRect {
    int32_t left, top, right, bottom;
} BkRect;

// A picture in memory (see the pixel and stride rules above).
typedef struct BkBitmap {
    int32_t width;
    int32_t height;
    int32_t stride;
    uint8_t* bits;
} BkBitmap;

// Results. Calls that make a slot return its index (>= 0) on success.
enum {
    BK_OK = 0,
    BK_ERR_ARGUMENT = -1,  // null handle or pointer, or a value out of its range
    BK_ERR_SLOT = -2,      // no such slot
    BK_ERR_SIZE = -3,      // zero, negative or too large width, height or stride
    BK_ERR_PICTURE = -4,   // the picture file could not be read (see BK_AppendPicture)
    BK_ERR_TEXT = -5,      // the text could not be laid out
    BK_ERR_MEMORY = -6
};

// Largest width or height of a frame or bitmap, and of one overlay.
enum { BK_MAX_FRAME_SIDE = 16384, BK_MAX_OVERLAY_SIDE = 8192 };

// How a picture or background fills the target (BK_SetFillMode); 2 is not used.
enum {
    BK_FILL_PLACE = 0,   // at its own place: its rectangle, or natural size at its point
    BK_FILL_CENTER = 1,  // as placed, but centred on the target
    BK_FILL_TILE = 3     // its size, repeated over the whole target from the top-left corner
};

// Font style flags (BK_CreateFont).
enum { BK_FONT_BOLD = 1, BK_FONT_ITALIC = 2, BK_FONT_UNDERLINE = 4, BK_FONT_STRIKEOUT = 8 };

// ---- fonts: a small description object; drawers keep their own copy.
// family: a fontconfig family name ("DejaVu Sans"); pointSize: 1 ... 1000,
// in points at 96 pixels per inch (12 points are 16 pixels high).
BLITKIT_API BkFont* BK_CreateFont(const char* family, int pointSize, int styleFlags);
BLITKIT_API void BK_DeleteFont(BkFont* font);
// The size a text (UTF-8, lines centred) takes when drawn with the font.
BLITKIT_API int BK_MeasureText(const BkFont* font, const char* text, int32_t* width, int32_t* height);

// ---- drawer life and settings
BLITKIT_API BkDrawer* BK_CreateDrawer(void);
BLITKIT_API void BK_DeleteDrawer(BkDrawer* d);
// Timeline off (a new drawer): every overlay is drawn at full strength whatever
// the frame, as a still composition. On: overlays follow their frame spans and fades.
BLITKIT_API int BK_SetTimeline(BkDrawer* d, int on);
// Frames per second; times animated pictures (GIF) by their own frame delays.
BLITKIT_API int BK_SetFrameRate(BkDrawer* d, double fps);
// Settings taken by every overlay or background registered after the call.
BLITKIT_API int BK_SetNextAlpha(BkDrawer* d, int alpha);          // 0 ... 255
BLITKIT_API int BK_SetNextTolerance(BkDrawer* d, int tolerance);  // 0 ... 255
BLITKIT_API int BK_SetFillMode(BkDrawer* d, int mode);            // BK_FILL_*

// ---- overlay slots. start: first frame shown; count: frames shown (< 0: no end).
// Pictures (UTF-8 path, read with avkit) are scaled to rect. A pixel whose
// blue, green and red each lie within the tolerance of seeThrough is not drawn.
// A picture that cannot be read (or a text that cannot be laid out) still
// takes its slot, as an empty overlay that draws nothing, so that slot
// numbers stay in step with the caller's list; the call then returns
// BK_ERR_PICTURE (BK_ERR_TEXT). Other failures change nothing.
BLITKIT_API int BK_AppendPicture(BkDrawer* d, const char* path, const BkRect* rect, int32_t seeThrough,
                                 int start, int count);
BLITKIT_API int BK_ReplacePicture(BkDrawer* d, int slot, const char* path, const BkRect* rect,
                                  int32_t seeThrough, int start, int count);
// A picture at its natural size with its top-left corner at (x, y).
BLITKIT_API int BK_AppendPictureAt(BkDrawer* d, const char* path, int x, int y, int32_t seeThrough,
                                   int start, int count);
// The same from a bitmap in memory (copied).
BLITKIT_API int BK_AppendBitmap(BkDrawer* d, const BkBitmap* bitmap, int x, int y, int32_t seeThrough,
                                int start, int count);
// Texts (UTF-8) at (x, y) in their measured size (BK_MeasureText), colour 0x00BBGGRR.
BLITKIT_API int BK_AppendText(BkDrawer* d, const char* text, int x, int y, uint32_t colour,
                              const BkFont* font, int start, int count);
BLITKIT_API int BK_ReplaceText(BkDrawer* d, int slot, const char* text, int x, int y, uint32_t colour,
                               const BkFont* font, int start, int count);
// Linear fades of the overlay's alpha over its first fadeIn and last fadeOut frames.
BLITKIT_API int BK_SetFades(BkDrawer* d, int slot, int fadeIn, int fadeOut);
BLITKIT_API int BK_SetSpan(BkDrawer* d, int slot, int start, int count);
// Moves the overlay's top-left corner to (x, y), keeping its size.
BLITKIT_API int BK_MoveOverlay(BkDrawer* d, int slot, int x, int y);
// Removes a slot; later slots move down by one.
BLITKIT_API int BK_RemoveOverlay(BkDrawer* d, int slot);
// Takes the overlay out of slot from and puts it in slot to; those between shift by one.
BLITKIT_API int BK_MoveSlot(BkDrawer* d, int from, int to);
// As BK_MoveSlot, for an overlay just appended (from must be the last slot).
BLITKIT_API int BK_PlaceAppended(BkDrawer* d, int from, int to);
BLITKIT_API int BK_ClearOverlays(BkDrawer* d);
BLITKIT_API int BK_GetOverlayCount(const BkDrawer* d);

// What a slot holds, for the caller's checks.
typedef struct BkOverlayInfo {
    int32_t kind;  // 1 picture, 2 text, 0 empty (its picture or text could not be made)
    BkRect place;
    int32_t alpha, start, count, fadeIn, fadeOut;
} BkOverlayInfo;
BLITKIT_API int BK_GetOverlayInfo(const BkDrawer* d, int slot, BkOverlayInfo* info);

// ---- drawing
// The frame the next BK_BlendFrame belongs to.
BLITKIT_API int BK_SetFrameIndex(BkDrawer* d, int frame);
// Blends the overlays active at that frame, in slot order, into the pixels.
BLITKIT_API int BK_BlendFrame(BkDrawer* d, uint8_t* pixels, int width, int height, int stride);
// 1 when BK_BlendFrame would draw anything at that frame (a caller may leave
// the pictures without overlays as they are), else 0.
BLITKIT_API int BK_AnyOverlayShown(BkDrawer* d, int frame);
// The background drawn first by BK_Compose (copied; a null bitmap removes it).
// It takes the current alpha and fill mode.
BLITKIT_API int BK_SetBackground(BkDrawer* d, const BkBitmap* bitmap);
// Clears target to transparent, draws the background and blends the overlays
// of the current frame over it. Returns target, or null on failure.
BLITKIT_API BkBitmap* BK_Compose(BkDrawer* d, BkBitmap* target);

// ---- adjustment and the crop frame
// Brightness and contrast in -1 ... 1 (0 leaves the picture as it is), in place.
BLITKIT_API int BK_AdjustPicture(BkDrawer* d, uint8_t* pixels, int width, int height, int stride,
                                 float brightness, float contrast);
// Dims the frame outside rect with colour (0xAARRGGBB; the alpha byte sets
// how strongly) and draws the rectangle's outline with its eight handles.
BLITKIT_API int BK_DrawCropFrame(uint8_t* pixels, int width, int height, int stride, const BkRect* rect,
                                 uint32_t colour);

#ifdef __cplusplus
}
#endif
