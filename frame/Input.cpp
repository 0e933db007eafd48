#include "frame/Input.h"

#include <cstring>

CInput g_Input;

void CInput::KeyDown(int key)
{
    // An auto-repeat is no new press.
    if (m_Keys[key & 0xFF] == 0)
        m_KeyTaps[key & 0xFF] = 1;
    m_Keys[key & 0xFF] = 1;
}

void CInput::ButtonDown(int b)
{
    if (m_Buttons[b] == 0)
        m_ButtonTaps[b] = 1;
    m_Buttons[b] = 1;
}

void CInput::Snapshot()
{
    std::memcpy(m_PrevButtons, m_Buttons, sizeof(m_Buttons));
    std::memcpy(m_PrevKeys, m_Keys, sizeof(m_Keys));
    std::memset(m_KeyTaps, 0, sizeof(m_KeyTaps));
    std::memset(m_ButtonTaps, 0, sizeof(m_ButtonTaps));
    m_WheelNotches = 0;
}
