#pragma once
// The collection list's background: the rows drawn over a horizontal
// light-blue-to-white gradient, composed off screen and copied to the screen
// once per paint request so the list does not flicker.
#include <windows.h>

// The gradient's end colours (0x00BBGGRR).
constexpr COLORREF kListGradientFrom = 0xF3D9BF;
constexpr COLORREF kListGradientTo = 0xFFFFFF;

/* Fills `rect` on `dc` with bands of colour from `from` to `to`: as many
   bands as the largest channel difference, laid out left to right when
   `horizontal`, else top to bottom. A band's near edge is truncated and its
   far edge rounded, and every band reaches one pixel past the rectangle's far
   side. Equal colours draw nothing. Leaves the DC's background colour at the
   last band's colour. */
void PaintGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to, bool horizontal);

/* Handles WM_PAINT for the list control `list`, whose own drawing is reached
   through `previousProc`: the control draws its rows onto white in one
   off-screen image, the gradient is drawn into a second, the two are ANDed,
   and the result is copied to the window once, over the full width from the
   update rectangle's top down. Both images are made and released here. The
   paint cycle is always begun and ended, so the update region is validated
   even when an image could not be made. Returns 0 (the message's result). */
LRESULT PaintListWithGradient(HWND list, WNDPROC previousProc, WPARAM wParam, LPARAM lParam);
