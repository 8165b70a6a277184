#include "collect_list/offscreen_surface.h"

OffscreenSurface::OffscreenSurface(HWND window) : window_(window) {
    if (!IsWindow(window_)) {
        return;
    }
    GetClientRect(window_, &rect_);
    HDC screen = GetDC(window_);
    dc_ = CreateCompatibleDC(screen);
    RECT device = rect_;
    LPtoDP(screen, reinterpret_cast<POINT*>(&device), 2);
    bitmap_ =
        CreateCompatibleBitmap(screen, device.right - device.left, device.bottom - device.top);
    if (dc_ != nullptr && bitmap_ != nullptr) {
        previous_ = SelectObject(dc_, bitmap_);
    }
    ReleaseDC(window_, screen);
}

OffscreenSurface::~OffscreenSurface() {
    if (dc_ != nullptr && previous_ != nullptr) {
        SelectObject(dc_, previous_);
    }
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
    }
    if (dc_ != nullptr) {
        DeleteDC(dc_);
    }
}
