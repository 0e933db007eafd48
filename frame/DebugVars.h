#pragma once
// Registered float variables that the F1 panel edits, and whether the panel
// is open (the clocks' keys are off while it is). Main thread only.
#include <vector>

class CDebugVar
{
public:
    char m_Name[257] = {};
    float* m_Value = nullptr;
    float m_Step = 0.0f;
    float m_Min = 0.0f;
    float m_Max = 0.0f;
    bool m_OnPress = false;
};

extern std::vector<CDebugVar*> g_DebugVars;
extern bool g_DebugPanel;
extern int g_DebugSelection;
extern float g_DisplayStats;

void RegisterDebugVar(const char* name, float* value, float step, float minimum, float maximum, bool onPress);
// Frees the registered records (process exit, tests).
void ClearDebugVars();
