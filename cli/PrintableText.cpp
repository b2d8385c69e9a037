#include "PrintableText.h"

#include <cstdio>

std::string EscapeControlCharacters(const std::string& text)
{
    std::string printable;
    printable.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F)
            printable += c;
        else if (c == '\n')
            printable += "\\n";
        else if (c == '\t')
            printable += "\\t";
        else if (c == '\r')
            printable += "\\r";
        else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            printable += escape;
        }
    }
    return printable;
}
