#include "frame/Input.h"

#include <cstring>

CInput g_Input;

void CInput::Snapshot()
{
    std::memcpy(m_PrevButtons, m_Buttons, sizeof(m_Buttons));
    std::memcpy(m_PrevKeys, m_Keys, sizeof(m_Keys));
}
