#pragma once
// The window's icon: the player's knob, cut from the embedded artwork.
// Main thread only, once the device exists.

void SetWindowIconFromArtwork();
