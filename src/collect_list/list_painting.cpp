#include "collect_list/list_painting.h"

#include <cstdlib>

#include "collect_list/offscreen_surface.h"

namespace {

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    SetBkColor(dc, colour);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

int Channel(COLORREF colour, int shift) {
    return static_cast<int>((colour >> shift) & 0xFF);
}

} // namespace

void PaintGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to, bool horizontal) {
    const int dRed = Channel(to, 0) - Channel(from, 0);
    const int dGreen = Channel(to, 8) - Channel(from, 8);
    const int dBlue = Channel(to, 16) - Channel(from, 16);
    int bands = std::abs(dRed);
    if (std::abs(dGreen) > bands) {
        bands = std::abs(dGreen);
    }
    if (std::abs(dBlue) > bands) {
        bands = std::abs(dBlue);
    }
    if (bands <= 0) {
        return;
    }
    const int length = horizontal ? rect.right - rect.left : rect.bottom - rect.top;
    const float bandSize = static_cast<float>(static_cast<double>(length) / bands);
    const float stepRed = static_cast<float>(static_cast<double>(dRed) / bands);
    const float stepGreen = static_cast<float>(static_cast<double>(dGreen) / bands);
    const float stepBlue = static_cast<float>(static_cast<double>(dBlue) / bands);
    const float startRed = static_cast<float>(Channel(from, 0));
    const float startGreen = static_cast<float>(Channel(from, 8));
    const float startBlue = static_cast<float>(Channel(from, 16));

    for (int i = 0; i < bands; ++i) {
        const float index = static_cast<float>(i);
        const int nearEdge = static_cast<int>(index * bandSize);
        const int farEdge = static_cast<int>(static_cast<float>(i + 1) * bandSize + 0.5);
        RECT band;
        if (horizontal) {
            band = {rect.left + nearEdge, rect.top, rect.left + farEdge, rect.bottom + 1};
        } else {
            band = {rect.left, rect.top + nearEdge, rect.right + 1, rect.top + farEdge};
        }
        const unsigned red =
            static_cast<unsigned>(static_cast<int>(startRed + index * stepRed)) & 0xFF;
        const unsigned green =
            static_cast<unsigned>(static_cast<int>(startGreen + index * stepGreen)) & 0xFF;
        const unsigned blue =
            static_cast<unsigned>(static_cast<int>(startBlue + index * stepBlue)) & 0xFF;
        FillSolid(dc, band, red | green << 8 | blue << 16);
    }
}

LRESULT PaintListWithGradient(HWND list, WNDPROC previousProc, WPARAM /*wParam*/, LPARAM lParam) {
    {
        OffscreenSurface rows(list);
        if (rows.IsReady()) {
            OffscreenSurface gradient(list);
            if (gradient.IsReady()) {
                FillSolid(rows.Dc(), rows.Rect(), 0xFFFFFF);
                CallWindowProcA(previousProc, list, WM_PAINT, reinterpret_cast<WPARAM>(rows.Dc()),
                                lParam);
                PaintGradient(gradient.Dc(), gradient.Rect(), kListGradientFrom, kListGradientTo,
                              true);
                BitBlt(gradient.Dc(), 0, 0, gradient.Width(), gradient.Height(), rows.Dc(), 0, 0,
                       SRCAND);

                PAINTSTRUCT ps;
                HDC screen = BeginPaint(list, &ps);
                const int top = ps.rcPaint.top;
                BitBlt(screen, 0, top, gradient.Width(), gradient.Height() - top, gradient.Dc(), 0,
                       top, SRCCOPY);
                EndPaint(list, &ps);
                return 0;
            }
        }
    }
    // An image could not be made: still validate, so the request is not repeated.
    PAINTSTRUCT ps;
    BeginPaint(list, &ps);
    EndPaint(list, &ps);
    return 0;
}
