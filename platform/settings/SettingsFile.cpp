#include "platform/settings/Settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/settings/SettingsHooks.h"

SettingsWriteHook g_SettingsBeforeRename = nullptr;

namespace {

constexpr const char* Header = "# ORBA's settings, kept between runs. Written by the program; safe to delete.\n";
// More than any real settings file: a bigger one is not ours.
constexpr size_t MaxSize = 1 << 20;
constexpr const char* TempPrefix = "settings.tmp.";

std::string Folder(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool IsKeyChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A value on one line: '\' and control characters as \xHH escapes, and
// spaces at either end too, since the reader passes over those (a user
// editing the file adds them).
std::string Escaped(const std::string& value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i)
    {
        const auto c = static_cast<unsigned char>(value[i]);
        const bool end = i == 0 || i + 1 == value.size();
        if (c == '\\' || c < 0x20 || c == 0x7F || (end && c == ' '))
        {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
        else
            out += static_cast<char>(c);
    }
    return out;
}

bool Unescape(std::string_view text, std::string* value)
{
    value->clear();
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '\\')
        {
            *value += text[i];
            continue;
        }
        if (i + 3 >= text.size() || text[i + 1] != 'x')
            return false;
        const int high = HexDigit(text[i + 2]), low = HexDigit(text[i + 3]);
        if (high < 0 || low < 0)
            return false;
        *value += static_cast<char>(high * 16 + low);
        i += 3;
    }
    return true;
}

bool ParseLine(std::string_view line, SSettingsValues* values)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] == '#')
        return true;
    const size_t equals = line.find('=', start);
    if (equals == std::string_view::npos)
        return false;
    size_t keyEnd = equals;
    while (keyEnd > start && (line[keyEnd - 1] == ' ' || line[keyEnd - 1] == '\t'))
        --keyEnd;
    const std::string_view key = line.substr(start, keyEnd - start);
    if (key.empty())
        return false;
    for (char c : key)
        if (!IsKeyChar(c))
            return false;
    std::string_view rest = line.substr(equals + 1);
    rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(" \t")));
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t'))
        rest.remove_suffix(1);
    std::string value;
    if (!Unescape(rest, &value))
        return false;
    values->emplace_back(std::string(key), std::move(value));
    return true;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size())
    {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// mkdir -p, private to the user, as the state folder should be.
bool MakeFolders(const std::string& folder)
{
    struct stat st{};
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const std::string parent = Folder(folder);
    if (parent != folder && !MakeFolders(parent))
        return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Temporary files left by writers that were killed before their rename.
void RemoveStaleTemps(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const size_t prefix = std::strlen(TempPrefix);
    while (const dirent* entry = ::readdir(dir))
    {
        if (std::strncmp(entry->d_name, TempPrefix, prefix) != 0)
            continue;
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name + prefix, &end, 10);
        if (end == entry->d_name + prefix || *end != 0 || pid <= 0)
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            ::unlink((folder + "/" + entry->d_name).c_str());
    }
    ::closedir(dir);
}

}  // namespace

std::string SettingsPath()
{
    // Only an absolute XDG_STATE_HOME counts; a relative one is to be ignored.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/')
        return std::string(state) + "/orba/settings";
    const char* home = std::getenv("HOME");
    if (home && home[0] != 0)
        return std::string(home) + "/.local/state/orba/settings";
    return std::string();
}

ESettingsRead ReadSettings(const std::string& path, SSettingsValues* values, std::string* why)
{
    values->clear();
    if (path.empty())
    {
        *why = "no place to keep them (neither XDG_STATE_HOME nor HOME is set)";
        return SettingsMissing;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        *why = std::strerror(errno);
        return errno == ENOENT ? SettingsMissing : SettingsBad;
    }
    std::string text;
    char buffer[4096];
    bool failed = false;
    for (;;)
    {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
        {
            *why = std::strerror(errno);
            failed = true;
            break;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > MaxSize)
        {
            *why = "far too large to be a settings file";
            failed = true;
            break;
        }
    }
    ::close(fd);
    if (failed)
        return SettingsBad;
    if (text.empty())
    {
        *why = "empty";
        return SettingsBad;
    }
    // The program ends every line, so a last line without its end was cut.
    if (text.back() != '\n')
    {
        *why = "cut short";
        return SettingsBad;
    }
    if (text.find('\0') != std::string::npos)
    {
        *why = "not text";
        return SettingsBad;
    }
    int number = 0;
    for (size_t start = 0; start < text.size();)
    {
        const size_t end = std::min(text.find('\n', start), text.size());
        ++number;
        if (!ParseLine(std::string_view(text).substr(start, end - start), values))
        {
            values->clear();
            *why = "line " + std::to_string(number) + " is not a setting";
            return SettingsBad;
        }
        start = end + 1;
    }
    return SettingsRead;
}

bool WriteSettings(const std::string& path, const SSettingsValues& values, std::string* why)
{
    if (path.empty())
    {
        *why = "no place to keep them (neither XDG_STATE_HOME nor HOME is set)";
        return false;
    }
    const std::string folder = Folder(path);
    if (!MakeFolders(folder))
    {
        *why = folder + ": " + std::strerror(errno);
        return false;
    }
    std::string text = Header;
    for (const auto& [key, value] : values)
    {
        bool fit = !key.empty();
        for (char c : key)
            fit = fit && IsKeyChar(c);
        if (!fit)
        {
            *why = "a setting's name cannot be written: " + Escaped(key);
            return false;
        }
        text += key + " = " + Escaped(value) + "\n";
    }
    const std::string temp = folder + "/" + TempPrefix + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
    {
        *why = temp + ": " + std::strerror(errno);
        return false;
    }
    const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written)
    {
        *why = temp + ": " + std::strerror(written ? errno : writeError);
        ::unlink(temp.c_str());
        return false;
    }
    if (g_SettingsBeforeRename)
        g_SettingsBeforeRename();
    if (::rename(temp.c_str(), path.c_str()) != 0)
    {
        *why = path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself is on the disk once the folder is.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0)
    {
        ::fsync(dir);
        ::close(dir);
    }
    RemoveStaleTemps(folder);
    return true;
}

bool ForgetSettings(const std::string& path, std::string* why)
{
    if (path.empty() || ::unlink(path.c_str()) == 0 || errno == ENOENT)
        return true;
    *why = path + ": " + std::strerror(errno);
    return false;
}
