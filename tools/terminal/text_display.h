// The program's texts are CP936; a terminal shows UTF-8. These helpers turn
// one into wide characters for ncursesw and measure them in cells.
#pragma once

#include <string>

namespace terminal {

// CP936 bytes to wide characters; bytes that do not convert become '?'.
// Needs a UTF-8 locale (the front end sets one).
std::wstring FromCp936(const std::string& text);
// CP936 bytes to UTF-8, for printing outside ncurses.
std::string Cp936ToUtf8(const std::string& text);
// UTF-8 to CP936, for the program's texts given on the command line;
// characters CP936 lacks become '?'.
std::string Utf8ToCp936(const std::string& text);
// Terminal cells that the text takes (a CJK character takes two).
int CellWidth(const std::wstring& text);
// The longest head of `text` that fits in `cells`.
std::wstring FitCells(const std::wstring& text, int cells);
// A button's text without its '&' accelerator marks ("安装(&I)" shows as
// "安装(I)"); "&&" stands for one '&'.
std::wstring StripAccelerator(const std::wstring& text);

}  // namespace terminal
