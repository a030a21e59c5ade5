#pragma once

#include <cstdint>

#include "projcore/Records.h"

// A rectangle on the preview that the mouse moves and resizes: it decides
// which handle the pointer is over and how a drag changes the rectangle.
// Used for the crop frame and for watermarks.
class CCropRect {
public:
    enum Handle : int16_t {
        kNone = 0,
        kLeft = 1,
        kTopLeft = 2,
        kTop = 3,
        kTopRight = 4,
        kRight = 5,
        kBottomLeft = 6,
        kBottom = 7,
        kBottomRight = 8,
        kMove = 9,
    };
    static constexpr int kMinSize = 10;   // the rectangle never gets smaller
    static constexpr int kTolerance = 4;  // a handle is hit strictly closer than this

    // The rectangle covers the whole area; all flags are clear.
    explicit CCropRect(const Rect& area = Rect{0, 0, 0, 0});
    virtual ~CCropRect() = default;

    // Follows the mouse at window point (x, y): while not dragging an active
    // rectangle this finds the handle under the pointer (only "move" without
    // hitTest) and remembers the point and rectangle; while dragging it moves
    // or resizes the rectangle, keeping the width:height ratio when asked.
    void Track(int x, int y, bool hitTest, bool keepAspect);
    // Mouse button down: starts a drag from the last hover.
    void Press();
    void Release() { dragging = false; }

    Rect area;
    Rect rect;  // relative to the area's top-left corner
    bool enabled = false;
    bool active = false;
    int16_t handle = kNone;
    bool dragging = false;
    bool keepAspect = false;
    Rect pressRect{};
    int16_t pressX = 0, pressY = 0;
    int16_t lastX = 0, lastY = 0;
    int32_t aspectWidth = 0, aspectHeight = 0;

private:
    void Hover(int16_t px, int16_t py, bool hitTest);
    void Drag(int dx, int dy);
    void DragCornerKeepingAspect(int dx, int dy, int W, int H);
    void DragEdgeKeepingAspect(int dx, int dy, int W, int H);
};
