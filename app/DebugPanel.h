#pragma once
// Registered float variables, the F1 panel that edits them, the debug font
// and the statistics text. Main thread only.
#include <cstdint>
#include <vector>

struct CFontHolder;

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
void UpdateDebugPanel();
CFontHolder* CreateDebugFont();
void DrawDebugText(float x, float y, uint32_t color, const char* format, ...) __attribute__((format(printf, 4, 5)));
// Frees the registered records (process exit, tests).
void ClearDebugVars();
