#pragma once
// The player on the desktop's media controls (MPRIS): opened at start, polled
// once per frame before the screens update, closed at the end. Main thread only.

void OpenDesktop();
// Tells the bus the player's state and turns what the desktop asked for into
// player requests (or a raise, or quitting).
void PollDesktop();
void CloseDesktop();
