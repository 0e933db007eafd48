#pragma once
// Inside the window room only: where the window opens and how large, as
// plain rules on numbers (WindowPlace.cpp), and the calls that read the
// desktop for them. Main thread only.
#include "platform/window/PlatformWindow.h"

struct SScreenRect
{
    int m_X = 0, m_Y = 0, m_Width = 0, m_Height = 0;
};

// The largest width x height of the aspect aspectWidth:aspectHeight that
// fits within availWidth x availHeight (at least 1 x 1).
void FitAspect(int availWidth, int availHeight, int aspectWidth, int aspectHeight, int* width, int* height);
// The desktop's scale factor from GDK_SCALE, else QT_SCALE_FACTOR, else the
// line "Xft.dpi:" of the X resources text over 96; 1 when none says, or
// says something out of 0.5 .. 8. Any argument may be null.
double DesktopScaleFrom(const char* gdkScale, const char* qtScale, const char* xResources);
// Whether a window there would be seen: its centre on one of the screens,
// and it no larger than that screen.
bool IsPlaceOnScreens(const SWindowPlace& place, const SScreenRect* screens, int count);

// The place SetWindowPlaceToOpen gave, if it is on a connected screen now.
bool TakePlaceToOpen(SWindowPlace* place);
// Asks the window manager to keep the window's aspect while it is sized
// (X11 size hints; elsewhere nothing, and the view's black bars keep it).
void KeepPlatformWindowAspect(CPlatformWindow* window);
