#include "ui/portable/control_procedures.h"

namespace ui::portable {
namespace {

int Clamp(const PortableWindow& progress, int value) {
    if (value < progress.rangeMin) return progress.rangeMin;
    if (value > progress.rangeMax) return progress.rangeMax;
    return value;
}

LPARAM MakeRange(int low, int high) {
    return static_cast<LPARAM>((static_cast<unsigned>(low) & 0xFFFF) | ((static_cast<unsigned>(high) & 0xFFFF) << 16));
}

}  // namespace

bool HandleProgressMessage(PortableWindow& progress, UINT message, WPARAM wParam, LPARAM lParam,
                           ControlOutcome& out) {
    switch (message) {
    case win::PBM_SETRANGE: {
        // Both ends are 16 bits: low word minimum, high word maximum.
        out.result = MakeRange(progress.rangeMin, progress.rangeMax);
        const int low = static_cast<int>(static_cast<unsigned>(lParam) & 0xFFFF);
        const int high = static_cast<int>((static_cast<unsigned>(lParam) >> 16) & 0xFFFF);
        out.changed = low != progress.rangeMin || high != progress.rangeMax;
        progress.rangeMin = low;
        progress.rangeMax = high;
        const int clamped = Clamp(progress, progress.pos);
        out.changed = out.changed || clamped != progress.pos;
        progress.pos = clamped;
        return true;
    }
    case win::PBM_SETPOS: {
        out.result = progress.pos;
        const int newPos = Clamp(progress, static_cast<int>(wParam));
        out.changed = newPos != progress.pos;
        progress.pos = newPos;
        return true;
    }
    case win::PBM_GETPOS:
        out.result = progress.pos;
        return true;
    default:
        return false;
    }
}

}  // namespace ui::portable
