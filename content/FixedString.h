#pragma once
// A text of at most 256 characters plus terminator, held by value.
#include <cstdarg>
#include <cstddef>

class CFixedString
{
public:
    static constexpr size_t Capacity = 256;

    CFixedString() { m_Text[0] = 0; }
    CFixedString(const char* text);  // copies at most 256 characters

    static CFixedString Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // Appends as much of `text` as fits.
    void Append(const char* text);

    const char* c_str() const { return m_Text; }
    size_t Length() const;

private:
    char m_Text[Capacity + 1];
};
