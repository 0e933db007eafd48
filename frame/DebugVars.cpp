#include "frame/DebugVars.h"

#include <cstring>

std::vector<CDebugVar*> g_DebugVars;
bool g_DebugPanel = false;
int g_DebugSelection = 0;
float g_DisplayStats = 0.0f;

void RegisterDebugVar(const char* name, float* value, float step, float minimum, float maximum, bool onPress)
{
    CDebugVar probe;
    std::strncpy(probe.m_Name, name, 256);
    probe.m_Name[256] = 0;
    for (const CDebugVar* var : g_DebugVars)
        if (std::strcmp(var->m_Name, probe.m_Name) == 0)
            return;
    CDebugVar* var = new CDebugVar(probe);
    var->m_Value = value;
    var->m_Step = step;
    var->m_Min = minimum;
    var->m_Max = maximum;
    var->m_OnPress = onPress;
    g_DebugVars.push_back(var);
}

void ClearDebugVars()
{
    for (CDebugVar* var : g_DebugVars)
        delete var;
    g_DebugVars.clear();
    g_DebugSelection = 0;
}
