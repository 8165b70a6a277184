#pragma once
// Dialog placement: centre a window over another, kept inside its bounds.
#include <windows.h>

// Moves window (size and z-order unchanged, not activated) so that its centre
// lies over centreOn's. With no centreOn, a child window is centred over its
// parent and any other window over its owner. A top-level window is kept
// inside the work area and centred over it when centreOn is absent, hidden or
// minimised; a child is kept inside its parent's client area. An edge that
// would stick out is moved back inside: left and top first, then right and
// bottom.
void CenterOnOwner(HWND window, HWND centreOn = nullptr);
