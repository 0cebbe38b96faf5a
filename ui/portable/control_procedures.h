// The window procedures of the portable controls: each answers the standard
// messages of its Win32 class on the in-memory record, with the results and
// edge cases of the real control. They run on the control's own thread with
// the toolkit's lock held, so they never call out.
#pragma once

#include <cstddef>
#include <string>

#include "ui/portable/portable_window.h"

namespace ui::portable {

// What a message did besides its result. The toolkit publishes changes and
// sends the notification once it has let go of its lock.
struct ControlOutcome {
    LRESULT result = 0;
    bool changed = false;
    bool notify = false;  // WM_COMMAND(notifyWParam, control) to the parent
    WPARAM notifyWParam = 0;
    bool takeFocus = false;  // a click moves the focus to the button
};

// The control kind of a window class, kNone for a class we do not know.
ControlKind ControlKindOfClass(const std::string& className);

// Sets up a freshly created control of the given kind (ranges, defaults).
void InitializeControl(PortableWindow& control);

// Any control except the list view's header, which the toolkit answers
// itself since it needs the list view's record.
ControlOutcome HandleControlMessage(PortableWindow& control, UINT message, WPARAM wParam, LPARAM lParam);

// Copies text into a caller's buffer of `capacity` chars (terminator
// included), cut to fit at a character boundary; returns the chars copied,
// terminator excluded.
std::size_t CopyText(const std::string& text, char* buffer, std::size_t capacity);

// Per class; each returns true when it knew the message.
bool HandleTextMessage(std::string& text, UINT message, WPARAM wParam, LPARAM lParam, ControlOutcome& out);
bool HandleButtonMessage(PortableWindow& button, UINT message, WPARAM wParam, LPARAM lParam, ControlOutcome& out);
bool HandleComboBoxMessage(PortableWindow& combo, UINT message, WPARAM wParam, LPARAM lParam, ControlOutcome& out);
bool HandleListViewMessage(PortableWindow& list, UINT message, WPARAM wParam, LPARAM lParam, ControlOutcome& out);
bool HandleProgressMessage(PortableWindow& progress, UINT message, WPARAM wParam, LPARAM lParam,
                           ControlOutcome& out);

// What a user's click does to a button: toggles an automatic check box and
// notifies the parent; nothing on a disabled button or a group box.
ControlOutcome ClickButton(PortableWindow& button);
bool IsPushButton(const PortableWindow& window);
bool IsClickableButton(const PortableWindow& window);

// A user's choice in a combo box (CBN_SELCHANGE is the caller's to send):
// returns true when the selection changed.
bool ChooseComboItem(PortableWindow& combo, int index);
// The arrow keys on a drop-down list: one item up or down, stopping at the
// ends. Returns true when the selection changed.
bool MoveComboSelection(PortableWindow& combo, int delta);

// A user's click on a list view row: that row becomes selected and focused,
// every other row loses both. A click below the last row clears them all.
void ClickListRow(PortableWindow& list, int row);
// The arrow keys on a list view: moves selection and focus from the focused
// (else the first selected) row. Returns true when something changed.
bool MoveListSelection(PortableWindow& list, int delta);

}  // namespace ui::portable
