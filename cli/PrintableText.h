#pragma once

#include <string>

// `text` with each control character written as an escape (\n, \t, \r or
// \xNN), so that it prints on one line. Other bytes, backslashes and UTF-8
// included, stay as they are: a title without control characters prints
// exactly as it must be typed.
std::string EscapeControlCharacters(const std::string& text);
