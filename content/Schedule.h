#pragma once
// The show's fixed sequence of screens.
#include <cstdint>

struct SScheduleRow
{
    int32_t m_ClassId;  // 2: a row that creates nothing
    uint32_t m_Layer;
    float m_Start;
    float m_Lifetime;
};

constexpr int ScheduleRowCount = 2;
extern const SScheduleRow g_EffectSchedule[ScheduleRowCount];
