#pragma once
// What the program keeps between runs: a plain text file of "key = value"
// lines in $XDG_STATE_HOME/orba/settings (by default
// ~/.local/state/orba/settings). A key may stand on several lines (a list,
// in order). Written atomically: under a temporary name beside the file,
// flushed to the disk, then renamed over it, so a write cut short (a kill, a
// full disk) leaves the old file whole. Main thread only; what the keys mean
// is the caller's.
#include <string>
#include <utility>
#include <vector>

using SSettingsValues = std::vector<std::pair<std::string, std::string>>;

enum ESettingsRead
{
    SettingsRead,     // the file was read whole
    SettingsMissing,  // there is none yet (or no place for one)
    SettingsBad       // it is there but empty, cut short, unreadable or garbled
};

// The file's path from the environment: $XDG_STATE_HOME/orba/settings when
// that is an absolute path, else $HOME/.local/state/orba/settings; empty
// when neither is set.
std::string SettingsPath();

// Reads `path` into `values` (cleared first). Anything but SettingsRead
// leaves `values` empty, with `why` saying what was wrong.
ESettingsRead ReadSettings(const std::string& path, SSettingsValues* values, std::string* why);

// Writes `values` to `path`, making its folder when needed. False, with
// `why`, when it could not; the old file is then untouched.
bool WriteSettings(const std::string& path, const SSettingsValues& values, std::string* why);

// Removes the file (nothing kept). False, with `why`, only when one is there
// and cannot be removed.
bool ForgetSettings(const std::string& path, std::string* why);
