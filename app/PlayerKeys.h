#pragma once
// The player's keys beside the mouse: Space plays and pauses, the media keys
// do what they say, + and - (and the keypad's) and the wheel move the volume
// by a twentieth, F11 switches between window and full screen. Main thread only.

// Turns this frame's key presses and wheel turns into player requests.
void ReadPlayerKeys();
