// PrintableText: names from outside (file names, arguments) made safe to put
// in a one-line message or a JSON report.
#pragma once
#include <cstdint>
#include <string>

// `text` as valid UTF-8 without line breaks or other control characters:
// a backslash becomes "\\", a double quote "\"", a control character
// "\n", "\r", "\t" or "\xNN", and each byte that is not part of valid UTF-8
// "\xNN". Printable UTF-8 is kept as it is.
std::string PrintableText(const std::string& text);

// PrintableText in double quotes, for naming a file in a message.
std::string QuotedName(const std::string& text);

// A JSON string literal for `text`, quotes included: quotes, backslashes and
// control characters escaped, valid UTF-8 kept, and each byte that is not
// part of valid UTF-8 replaced by U+FFFD, so the JSON is valid UTF-8.
std::string JsonString(const std::string& text);

// A checksum as 16 hexadecimal digits, as every log line and report gives it.
std::string ChecksumText(std::uint64_t checksum);
