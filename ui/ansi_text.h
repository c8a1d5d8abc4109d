// Text in the ANSI code page, in which the program's fields and the jobs hold paths: fixed
// texts for the system's A functions, and paths from the system's wide functions.
#pragma once

#include <string>

// `text` in the ANSI code page; a character the code page lacks becomes its default
// character.
std::string AnsiText(const wchar_t* text);

// `text` in the ANSI code page, or false when the code page cannot hold it exactly: a path
// with a stand-in character would name another file, or none.
bool ExactAnsiText(const std::wstring& text, std::string* ansi);
