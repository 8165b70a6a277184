#include "app/center_on_owner.h"

void CenterOnOwner(HWND window, HWND centreOn) {
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    const bool child = (style & WS_CHILD) != 0;
    if (centreOn == nullptr) {
        centreOn = child ? GetParent(window) : GetWindow(window, GW_OWNER);
    }

    RECT own{};
    GetWindowRect(window, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;

    RECT area{};
    RECT centre{};
    if (!child) {
        if (centreOn != nullptr) {
            const LONG ownerStyle = GetWindowLongA(centreOn, GWL_STYLE);
            if ((ownerStyle & WS_VISIBLE) == 0 || (ownerStyle & WS_MINIMIZE) != 0) {
                centreOn = nullptr;
            }
        }
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        if (centreOn != nullptr) {
            GetWindowRect(centreOn, &centre);
        } else {
            centre = area;
        }
    } else {
        HWND parent = GetParent(window);
        GetClientRect(parent, &area);
        GetClientRect(centreOn, &centre);
        MapWindowPoints(centreOn, parent, reinterpret_cast<POINT*>(&centre), 2);
    }

    int x = (centre.left + centre.right) / 2 - width / 2;
    int y = (centre.top + centre.bottom) / 2 - height / 2;
    if (x < area.left) {
        x = area.left;
    } else if (x + width > area.right) {
        x = area.right - width;
    }
    if (y < area.top) {
        y = area.top;
    } else if (y + height > area.bottom) {
        y = area.bottom - height;
    }
    SetWindowPos(window, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
