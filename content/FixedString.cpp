#include "content/FixedString.h"

#include <cstdio>
#include <cstring>

CFixedString::CFixedString(const char* text)
{
    m_Text[0] = 0;
    if (text)
        Append(text);
}

CFixedString CFixedString::Format(const char* format, ...)
{
    CFixedString s;
    va_list args;
    va_start(args, format);
    // vsnprintf cuts longer results and always terminates.
    std::vsnprintf(s.m_Text, sizeof(s.m_Text), format, args);
    va_end(args);
    return s;
}

void CFixedString::Append(const char* text)
{
    size_t n = std::strlen(m_Text);
    while (n < Capacity && *text)
        m_Text[n++] = *text++;
    m_Text[n] = 0;
}

size_t CFixedString::Length() const
{
    return std::strlen(m_Text);
}
