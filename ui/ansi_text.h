// Fixed texts of the program in the ANSI code page, for the system's A functions that take
// the paths of this program.
#pragma once

#include <string>

// `text` in the ANSI code page; a character the code page lacks becomes its default
// character.
std::string AnsiText(const wchar_t* text);
