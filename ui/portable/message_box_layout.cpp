#include "ui/portable/message_box_layout.h"

#include <algorithm>

namespace ui::portable {
namespace {

constexpr win::UINT kMbCancelTryContinue = 0x06;
constexpr win::UINT kMbDefButtonMask = 0xF00;
constexpr int kIdTryAgain = 10;
constexpr int kIdContinue = 11;

// The size of one byte of text in dialog units (a double-byte character is
// two bytes wide), and of the parts around it.
constexpr int kCharWidth = 4;
constexpr int kLineHeight = 8;
constexpr int kMargin = 10;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 6;
constexpr int kMaxTextWidth = 280;
constexpr int kIconWidth = 32;

}  // namespace

std::vector<MessageBoxButton> MessageBoxButtons(win::UINT type) {
    static const MessageBoxButton kOk{win::IDOK, "确定"};
    static const MessageBoxButton kCancel{win::IDCANCEL, "取消"};
    switch (type & win::MB_TYPEMASK) {
    case win::MB_OK:
        return {kOk};
    case win::MB_OKCANCEL:
        return {kOk, kCancel};
    case win::MB_ABORTRETRYIGNORE:
        return {{win::IDABORT, "中止(&A)"}, {win::IDRETRY, "重试(&R)"}, {win::IDIGNORE, "忽略(&I)"}};
    case win::MB_YESNOCANCEL:
        return {{win::IDYES, "是(&Y)"}, {win::IDNO, "否(&N)"}, kCancel};
    case win::MB_YESNO:
        return {{win::IDYES, "是(&Y)"}, {win::IDNO, "否(&N)"}};
    case win::MB_RETRYCANCEL:
        return {{win::IDRETRY, "重试(&R)"}, kCancel};
    case kMbCancelTryContinue:
        return {kCancel, {kIdTryAgain, "重试(&T)"}, {kIdContinue, "继续(&C)"}};
    default:
        return {};
    }
}

std::size_t MessageBoxDefaultButton(win::UINT type, std::size_t buttonCount) {
    const std::size_t index = (type & kMbDefButtonMask) >> 8;
    return index < buttonCount ? index : 0;
}

int MessageBoxEscapeResult(win::UINT type) {
    for (const MessageBoxButton& button : MessageBoxButtons(type)) {
        if (button.id == win::IDCANCEL) return win::IDCANCEL;
    }
    return (type & win::MB_TYPEMASK) == win::MB_OK ? win::IDOK : 0;
}

MessageBoxLayout LayOutMessageBox(const std::string& text, std::size_t buttonCount) {
    // Lines break at "\r\n" or "\n" and wrap at the widest a box may be.
    int lines = 0;
    int widest = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::size_t length = end - start;
        if (length > 0 && text[start + length - 1] == '\r') --length;
        const int width = static_cast<int>(length) * kCharWidth;
        lines += std::max(1, (width + kMaxTextWidth - 1) / kMaxTextWidth);
        widest = std::max(widest, std::min(width, kMaxTextWidth));
        start = end + 1;
    }
    const int buttonsWidth =
        static_cast<int>(buttonCount) * kButtonWidth + static_cast<int>(buttonCount > 0 ? buttonCount - 1 : 0) * kButtonGap;
    MessageBoxLayout layout{};
    layout.text = {kMargin + kIconWidth, kMargin, widest, lines * kLineHeight};
    const int innerWidth = std::max(kIconWidth + widest, buttonsWidth);
    const int buttonTop = kMargin + std::max(lines * kLineHeight, kIconWidth - kMargin) + kMargin;
    layout.box = {0, 0, innerWidth + 2 * kMargin, buttonTop + kButtonHeight + kMargin};
    int x = (layout.box.cx - buttonsWidth) / 2;
    for (std::size_t i = 0; i < buttonCount; ++i) {
        layout.buttons.push_back({x, buttonTop, kButtonWidth, kButtonHeight});
        x += kButtonWidth + kButtonGap;
    }
    return layout;
}

}  // namespace ui::portable
