#include "content/Schedule.h"

#include <limits>

const SScheduleRow g_EffectSchedule[ScheduleRowCount] = {
    {0, 0, 0.0f, std::numeric_limits<float>::max()},  // the loading screen never times out
    {1, 0, 2.0f, 10000.0f},
};
