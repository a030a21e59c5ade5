#pragma once

#include <memory>

#include "projcore/Records.h"

class CBaseClip;
class CWaterMarkMgr;

// How a clip's picture is laid out in the output frame.

// Where a picture of srcWidth x srcHeight lies in a frame of width x height:
// the whole frame when stretched, otherwise the largest centred area of the
// picture's shape (aspect: the frame's display aspect ratio, 0 for square pixels).
Rect FitPicture(int srcWidth, int srcHeight, int width, int height, double aspect, bool letterbox);

// The part of a width x height picture that crop margins leave; the whole
// picture when they leave nothing.
Rect VisiblePart(const Rect& margins, int width, int height);

// A private copy of the clip's watermarks laid out for an output frame of
// width x height showing the clip's picture in picture, so that a preview
// of the same clip keeps its own layout. Null when the clip has none.
std::unique_ptr<CWaterMarkMgr> MarksForOutput(CBaseClip& clip, int width, int height, const Rect& picture);
