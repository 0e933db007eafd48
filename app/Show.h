#pragma once
// The one show loop: start-up, frames, shutdown and signals, written once.
// The live window and the recorder run it with different drivers, which say
// where time comes from, where a finished frame goes, where events come from
// and when the show ends. Main thread only.
#include <cstdint>

#include "app/CommandLine.h"
#include "frame/Timer.h"
#include "musicdisk/Player.h"
#include "platform/Win32.h"

// How a show starts: chosen before anything opens, handed in once.
struct SShowOptions
{
    EScreenChoice m_Screen = ScreenAsk;
    // The window's size as a multiple of 800 x 600 (0: the desktop's scale
    // factor); a recording's frame size instead, when set.
    float m_Scale = 0.0f;
    int m_FrameWidth = 0, m_FrameHeight = 0;
    // Where the window opens, if that is on a screen now.
    bool m_HavePlace = false;
    SWindowPlace m_Place;
    SPlayerOptions m_Player;
    // The sound is mixed only when the driver pulls it (a recording), at
    // this rate; otherwise it plays on the sound device.
    bool m_PulledSound = false;
    int m_SoundRate = 44100;
};

// The driver is the show's clock too: the frame timer reads it.
class CShowDriver : public CClock
{
public:
    virtual ~CShowDriver() = default;
    // Before anything opens: what the driver needs of the platform (the
    // offscreen display).
    virtual void Prepare() {}
    // Once the device and the sound are open, before the first frame. A
    // non-zero exit code refuses the show.
    virtual int Start() { return 0; }
    // What could not be started (no device): said once, with the exit code.
    virtual int CannotStart(const char* why) = 0;
    // After the last frame, before anything closes.
    virtual void Stop() {}
    // The exit code once everything is closed.
    virtual int Finish() { return 0; }

    // The next event, or false when none waits and a frame is due.
    virtual bool NextEvent(MSG& msg) = 0;
    // Whether this frame is drawn (a window nobody can see is not).
    virtual bool Drawing() = 0;
    // Before the application's frame: the world's requests (the desktop bus).
    virtual void BeforeFrame() {}
    // Where a drawn frame goes: presented, or read back and encoded. False
    // ends the show after this frame.
    virtual bool EndFrame() = 0;
    // In place of a frame that is not drawn.
    virtual void Rest() {}
    // After every frame, drawn or not.
    virtual void AfterFrame() {}
};

// Where the last show's window stood when it closed; false when it had none
// or it stood where it opened.
bool LastWindowPlace(SWindowPlace* place);
// Runs the show from the loading screen to its end; the process exit code.
int RunShow(const SShowOptions& options, CShowDriver& driver);
// One turn of the loop: an event, or a frame.
void ShowIteration(CShowDriver& driver, MSG& msg);
