#pragma once
// Keyboard and mouse state recorded by the window procedure, polled by
// everyone. Changes only between frames. Main thread only.
#include <cstdint>

enum
{
    BUTTON_MIDDLE = 0,
    BUTTON_RIGHT = 1,
    BUTTON_LEFT = 2
};

class CInput
{
public:
    bool IsKeyDown(int key) const { return m_Keys[key & 0xFF] != 0; }
    // Pressed in this frame: down now and up before, or pressed and let go
    // again since the last frame (a quick tap counts once).
    bool IsKeyPressed(int key) const
    {
        return (m_Keys[key & 0xFF] != 0 && m_PrevKeys[key & 0xFF] == 0) || m_KeyTaps[key & 0xFF] != 0;
    }
    bool IsButtonDown(int b) const { return m_Buttons[b] != 0; }
    bool IsButtonPressed(int b) const
    {
        return (m_Buttons[b] != 0 && m_PrevButtons[b] == 0) || m_ButtonTaps[b] != 0;
    }
    bool IsButtonHeld(int b) const { return m_Buttons[b] != 0 && m_PrevButtons[b] != 0; }

    // The window procedure's records of a key or button going down.
    void KeyDown(int key);
    void ButtonDown(int b);

    // End of frame: the previous states take the current ones, taps and the
    // wheel are used up.
    void Snapshot();

    uint8_t m_PrevKeys[256] = {};
    uint8_t m_Keys[256] = {};
    uint8_t m_PrevButtons[3] = {};
    uint8_t m_Buttons[3] = {};
    int16_t m_MouseX = 0;
    int16_t m_MouseY = 0;
    uint8_t m_KeyTaps[256] = {};    // went down since the last snapshot
    uint8_t m_ButtonTaps[3] = {};
    int m_WheelNotches = 0;         // since the last snapshot, up positive
};

extern CInput g_Input;
