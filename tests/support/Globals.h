#pragma once
// Puts the program's shared state back to how it is at start-up, so that
// tests do not leak into each other.
void ResetProgramState();

// A performance counter the test controls (ticks at 1000 per second).
void UseManualClock(long long startTicks = 1000000);
void AdvanceManualClock(long long ticks);
void UseRealClock();
