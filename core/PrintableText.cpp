// PrintableText: escaping for messages and reports.
#include "core/PrintableText.h"

#include <cstdint>
#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence starting at `p` (at most `left` bytes),
// 0 when it is not one: overlong forms, surrogates and values past U+10FFFF
// are refused, as decoders must.
std::size_t Utf8Length(const unsigned char* p, std::size_t left)
{
    const unsigned char c = p[0];
    std::size_t n;
    std::uint32_t min, value;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        min = 0x80;
        value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        min = 0x800;
        value = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        min = 0x10000;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (left < n)
        return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return n;
}

// U+0080 to U+009F, the C1 control characters, are as unprintable as C0 ones.
bool IsC1Control(const unsigned char* p, std::size_t n)
{
    return n == 2 && p[0] == 0xC2 && p[1] <= 0x9F;
}

void AppendByteEscape(std::string& out, unsigned char c)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
    out += buffer;
}

} // namespace

std::string PrintableText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = p[i];
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            AppendByteEscape(out, c);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            const std::size_t n = Utf8Length(p + i, size - i);
            if (n == 0 || IsC1Control(p + i, n)) {
                AppendByteEscape(out, c);
            } else {
                out.append(text, i, n);
                i += n;
                continue;
            }
        }
        ++i;
    }
    return out;
}

std::string QuotedName(const std::string& text)
{
    return "\"" + PrintableText(text) + "\"";
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = p[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            const std::size_t n = Utf8Length(p + i, size - i);
            if (n == 0) {
                out += "\xEF\xBF\xBD"; // U+FFFD: JSON text must be UTF-8
            } else {
                out.append(text, i, n);
                i += n;
                continue;
            }
        }
        ++i;
    }
    return out + "\"";
}

std::string ChecksumText(std::uint64_t checksum)
{
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(checksum));
    return buffer;
}
