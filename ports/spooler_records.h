// Reading one of the spooler's lists: the size first, then the records.
#pragma once

#include <vector>

#include "platform/win_types.h"

namespace ports {

// The list may grow between the two calls (another program adds a port or a
// printer): the second then fails with ERROR_INSUFFICIENT_BUFFER and a larger
// size, and is made again, up to this many calls in all.
inline constexpr int kSpoolerRecordAttempts = 4;

// `call(buffer, size, &needed, &returned)` makes one call of the
// enumeration. True once one succeeded, with *count records in *buffer;
// false when a call failed otherwise or the list kept outgrowing the buffer,
// the spooler's last error as that call left it.
template <typename Call>
bool ReadSpoolerRecords(Call call, std::vector<win::BYTE>* buffer, win::DWORD* count) {
    buffer->clear();
    for (int attempt = 0; attempt < kSpoolerRecordAttempts; ++attempt) {
        win::DWORD needed = 0;
        *count = 0;
        if (call(buffer->empty() ? nullptr : buffer->data(), static_cast<win::DWORD>(buffer->size()), &needed,
                 count)) {
            return true;
        }
        // Only a larger size is worth another call.
        if (needed <= buffer->size()) return false;
        buffer->assign(needed, 0);
    }
    return false;
}

}  // namespace ports
