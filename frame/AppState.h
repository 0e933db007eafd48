#pragma once
// The application interface and the state every screen shares with the frame
// loop: the application object, the quit flag, the clear colour and the
// camera of 3D drawing. Main thread only.
#include <cstdint>

#include "platform/Win32.h"

class CCamera;

class CApp
{
public:
    virtual void Init() = 0;
    virtual void Shutdown() = 0;
    virtual void Frame() = 0;
    virtual bool Configure(HINSTANCE instance) = 0;
    // The application's own camera, if it has one.
    virtual CCamera* GetCamera() { return nullptr; }
};

// A 32-bit ARGB colour built from floats alpha, red, green, blue.
struct CColor
{
    CColor(float a, float r, float g, float b);
    uint32_t m_Value;
};

// Set to the one application object while statics are built.
extern CApp* g_App;
extern bool g_Quit;
extern uint32_t g_ClearColor;
extern CCamera* g_Camera;
// False while the window cannot be seen (minimised, hidden): frames then
// update the show but draw nothing.
extern bool g_Drawing;
// The application's own camera: what g_Camera falls back to when a screen
// that installed its own camera goes away.
CCamera* GetAppCamera();
