#include "frame/Report.h"

#include <cstdarg>
#include <cstdio>
#include <set>
#include <string>

namespace {

std::set<std::string> s_Said;

}  // namespace

void ReportFailure(const char* tag, const char* format, ...)
{
    va_list args, copy;
    va_start(args, format);
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    std::string line = std::string("ORBA: ") + tag + ": " + text;
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    if (!s_Said.insert(line).second)
        return;
    std::fprintf(stderr, "%s\n", line.c_str());
}

void ForgetReports()
{
    s_Said.clear();
}

const char* FileNameOf(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    return name;
}
