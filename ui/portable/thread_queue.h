// The message queue of one thread of the portable toolkit. Guarded by the
// toolkit's mutex; `wake` is signalled whenever the thread has something to
// do (a message, input, an ended dialog, its own sent message answered).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>

#include "ui/portable/portable_window.h"

namespace ui::portable {

struct ThreadQueue;

// Lives on the sender's stack until `done`; the receiver never touches it
// after setting `done`.
struct SentMessage {
    WindowId target;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    ThreadQueue* sender;
    LRESULT result = 0;
    bool done = false;
};

struct PostedMessage {
    WindowId target;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct ThreadQueue {
    std::deque<SentMessage*> sent;
    std::deque<PostedMessage> posted;
    std::deque<std::function<void()>> input;
    std::condition_variable wake;
    // The thread waits in a modal loop with nothing left to do.
    bool idle = false;
};

}  // namespace ui::portable
