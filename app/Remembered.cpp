#include "app/Remembered.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "musicdisk/Player.h"
#include "platform/settings/Settings.h"

SRemembered g_Remembered;

namespace {

constexpr const char* VolumeKey = "volume";
constexpr const char* AlbumKey = "album";
// "x y width height" and "full" or "window".
constexpr const char* WindowKey = "window";
// How long the volume must stand still before it is written.
constexpr int64_t VolumeSettleMs = 1000;

bool s_Unwritten = false;
int64_t s_VolumeChangedMs = 0;
bool s_VolumeMoving = false;
// A failing disk is said once, not at every change.
bool s_WriteFailed = false;

bool ParseVolume(const std::string& text, float* volume)
{
    float value = 0.0f;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || !(value >= 0.0f && value <= 1.0f))
        return false;
    *volume = value;
    return true;
}

bool ParsePlace(const std::string& text, SWindowPlace* place)
{
    char mode[16] = {};
    SWindowPlace p;
    if (std::sscanf(text.c_str(), "%d %d %d %d %15s", &p.m_X, &p.m_Y, &p.m_Width, &p.m_Height, mode) != 5 ||
        p.m_Width <= 0 || p.m_Height <= 0 || (std::strcmp(mode, "full") != 0 && std::strcmp(mode, "window") != 0))
        return false;
    p.m_FullScreen = std::strcmp(mode, "full") == 0;
    *place = p;
    return true;
}

void Write()
{
    SSettingsValues values;
    if (g_Remembered.m_Volume >= 0.0f)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.4g", g_Remembered.m_Volume);
        values.emplace_back(VolumeKey, text);
    }
    for (const std::string& path : g_Remembered.m_Album)
        values.emplace_back(AlbumKey, path);
    if (g_Remembered.m_HavePlace)
    {
        const SWindowPlace& p = g_Remembered.m_Place;
        char text[80];
        std::snprintf(text, sizeof text, "%d %d %d %d %s", p.m_X, p.m_Y, p.m_Width, p.m_Height,
                      p.m_FullScreen ? "full" : "window");
        values.emplace_back(WindowKey, text);
    }
    std::string why;
    if (WriteSettings(SettingsPath(), values, &why))
    {
        s_Unwritten = false;
        s_WriteFailed = false;
        return;
    }
    if (!s_WriteFailed)
        std::fprintf(stderr, "ORBA: settings: cannot be kept: %s\n", why.c_str());
    s_WriteFailed = true;
    s_Unwritten = false;  // tried; the next change tries again
}

}  // namespace

void LoadRemembered(bool fresh)
{
    g_Remembered = SRemembered();
    s_Unwritten = false;
    s_VolumeMoving = false;
    s_WriteFailed = false;
    const std::string path = SettingsPath();
    std::string why;
    if (fresh)
    {
        if (!ForgetSettings(path, &why))
            std::fprintf(stderr, "ORBA: settings: cannot be forgotten: %s\n", why.c_str());
        return;
    }
    SSettingsValues values;
    const ESettingsRead read = ReadSettings(path, &values, &why);
    if (read == SettingsMissing)
        return;  // the first run: nothing to say
    if (read == SettingsBad)
    {
        std::fprintf(stderr, "ORBA: settings: %s is %s; starting from the defaults\n", path.c_str(), why.c_str());
        return;
    }
    SRemembered kept;
    for (const auto& [key, value] : values)
    {
        // Keys of other versions are passed over; a known key with a value
        // that makes no sense makes the whole file suspect.
        if (key == VolumeKey && !ParseVolume(value, &kept.m_Volume))
        {
            std::fprintf(stderr, "ORBA: settings: %s has a volume of \"%s\"; starting from the defaults\n",
                         path.c_str(), value.c_str());
            return;
        }
        if (key == AlbumKey && !value.empty())
            kept.m_Album.push_back(value);
        if (key == WindowKey && !(kept.m_HavePlace = ParsePlace(value, &kept.m_Place)))
        {
            std::fprintf(stderr, "ORBA: settings: %s has a window place of \"%s\"; starting from the defaults\n",
                         path.c_str(), value.c_str());
            return;
        }
    }
    g_Remembered = kept;
}

void RememberAlbum(const std::vector<std::string>& paths)
{
    g_Remembered.m_Album.clear();
    for (const std::string& path : paths)
    {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(path, error);
        g_Remembered.m_Album.push_back(error ? path : absolute.lexically_normal().string());
    }
    Write();
}

void FollowVolume(float volume, int64_t nowMs)
{
    if (volume != g_PlayerOptions.m_Volume || (s_VolumeMoving && volume != g_Remembered.m_Volume))
    {
        // A restart (R) opens the player at the volume it had.
        g_PlayerOptions.m_Volume = volume;
        g_Remembered.m_Volume = volume;
        s_VolumeChangedMs = nowMs;
        s_VolumeMoving = true;
        s_Unwritten = true;
    }
    if (s_VolumeMoving && nowMs - s_VolumeChangedMs >= VolumeSettleMs)
    {
        s_VolumeMoving = false;
        Write();
    }
}

void RememberWindowPlace(const SWindowPlace& place)
{
    g_Remembered.m_HavePlace = true;
    g_Remembered.m_Place = place;
    Write();
}

void FlushRemembered()
{
    if (s_Unwritten)
        Write();
    s_VolumeMoving = false;
}
