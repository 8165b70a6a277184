#pragma once
// An off-screen image the size of a window's client area, made for one paint
// request and released at its end.
#include <windows.h>

class OffscreenSurface {
public:
    /* Takes the window the image stands in for. When the window exists, makes
       a drawing surface compatible with the window's display surface and an
       image of the client rectangle's size (in device units) selected into
       it. Check IsReady() before drawing. */
    explicit OffscreenSurface(HWND window);

    /* Deselects and releases the image and the drawing surface. */
    ~OffscreenSurface();

    OffscreenSurface(const OffscreenSurface&) = delete;
    OffscreenSurface& operator=(const OffscreenSurface&) = delete;

    /* True when both the drawing surface and its image were made. */
    bool IsReady() const { return dc_ != nullptr && bitmap_ != nullptr; }

    /* The drawing surface (null when not ready). */
    HDC Dc() const { return dc_; }

    /* The client rectangle taken when the surface was made. */
    const RECT& Rect() const { return rect_; }

    int Width() const { return rect_.right - rect_.left; }
    int Height() const { return rect_.bottom - rect_.top; }

private:
    HWND window_;
    RECT rect_{};
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};
