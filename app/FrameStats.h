#pragma once
// With ORBA_FRAME_STATS set in the environment, the frame rate and the
// longest frame are printed to stderr every five seconds while the window
// draws: for measuring the program from outside (scripts/cpu.sh). Main
// thread only.

// After each presented frame. Timed on the system's steady clock, not the
// show's: the show's clock is reset while loading and paused on request.
void CountFrame();
