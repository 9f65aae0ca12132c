// Case rules of the portable build: ASCII plus the Latin-1 letters of code
// page 1252, the answers CompareString and CharUpperBuff give for them.
#include "base/strings.h"

namespace quillon {

namespace {

unsigned char cp1252_upper(unsigned char c) noexcept
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A: return 0x8A; // s caron
    case 0x9C: return 0x8C; // oe
    case 0x9E: return 0x8E; // z caron
    case 0xFF: return 0x9F; // y diaeresis
    default: return c;
    }
}

unsigned char cp1252_lower(unsigned char c) noexcept
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<unsigned char>(c + 0x20);
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
    }
}

} // namespace

bool equal_nocase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (cp1252_upper(static_cast<unsigned char>(a[i])) != cp1252_upper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string ansi_upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(cp1252_upper(static_cast<unsigned char>(c)));
    return out;
}

std::string ansi_lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(cp1252_lower(static_cast<unsigned char>(c)));
    return out;
}

std::string utf16_to_ansi(std::u16string_view text)
{
    return utf16_to_latin1(text);
}

} // namespace quillon
