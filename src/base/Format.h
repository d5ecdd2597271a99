#pragma once

#include <string>

// printf-style formatting into a string of whatever length the result needs. The formats are
// the program's own texts (string table or fixed), never user input.
std::string FormatText(const char* format, ...);
