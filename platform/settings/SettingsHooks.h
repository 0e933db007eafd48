#pragma once
// For tests only: called after the temporary file is written and flushed,
// before it is renamed over the settings (a test kills the process there).
using SettingsWriteHook = void (*)();
extern SettingsWriteHook g_SettingsBeforeRename;
