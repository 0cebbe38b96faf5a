// What a message box holds for each MB_ type: its buttons, the one that
// starts with the focus, what Esc and the close box answer, and where the
// parts sit (in dialog units, for the renderer).
#pragma once

#include <string>
#include <vector>

#include "ui/win_ui_types.h"

namespace ui::portable {

// The id of the static that holds a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

struct MessageBoxButton {
    int id;
    const char* text;  // CP936
};

struct Rect {
    int x, y, cx, cy;
};

struct MessageBoxLayout {
    Rect box;
    Rect text;
    std::vector<Rect> buttons;
};

// Empty for a type that Windows does not know (the box then fails).
std::vector<MessageBoxButton> MessageBoxButtons(win::UINT type);
// Index of the button MB_DEFBUTTONn names; the first when there is no such.
std::size_t MessageBoxDefaultButton(win::UINT type, std::size_t buttonCount);
// Esc and the close box answer Cancel where there is one and OK in a lone
// OK box; 0 where they do nothing (Yes/No, Abort/Retry/Ignore).
int MessageBoxEscapeResult(win::UINT type);
MessageBoxLayout LayOutMessageBox(const std::string& text, std::size_t buttonCount);

}  // namespace ui::portable
