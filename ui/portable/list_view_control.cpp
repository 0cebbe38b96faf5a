#include "ui/portable/control_procedures.h"

#include <algorithm>

namespace ui::portable {
namespace {

constexpr win::UINT kLvisStateBits = win::LVIS_FOCUSED | win::LVIS_SELECTED;
constexpr int kLvscwAutosize = -1;
constexpr int kLvscwAutosizeUseHeader = -2;
// The width of one byte of text in the dialog font (a double-byte character
// is two), plus the margins of a cell: for the automatic column widths.
constexpr int kPixelsPerByte = 6;
constexpr int kCellMargin = 12;

std::string TextOf(const char* text) {
    // LPSTR_TEXTCALLBACKA asks the parent for the text later; we keep none.
    if (text == nullptr || text == reinterpret_cast<const char*>(-1)) return std::string();
    return text;
}

bool ValidRow(const PortableWindow& list, int row) {
    return row >= 0 && static_cast<std::size_t>(row) < list.rows.size();
}

bool SingleSelection(const PortableWindow& list) { return (list.style & win::LVS_SINGLESEL) != 0; }

// Sets one row's state bits under `mask`, keeping the list's rules: one
// focused row, and one selected row in a single-selection list.
bool ApplyRowState(PortableWindow& list, std::size_t row, win::UINT state, win::UINT mask) {
    mask &= kLvisStateBits;
    const win::UINT before = list.rows[row].state;
    list.rows[row].state = (before & ~mask) | (state & mask);
    bool changed = before != list.rows[row].state;
    const win::UINT exclusive =
        list.rows[row].state & (win::LVIS_FOCUSED | (SingleSelection(list) ? win::LVIS_SELECTED : 0u)) & mask;
    if (exclusive == 0) return changed;
    for (std::size_t other = 0; other < list.rows.size(); ++other) {
        if (other == row || (list.rows[other].state & exclusive) == 0) continue;
        list.rows[other].state &= ~exclusive;
        changed = true;
    }
    return changed;
}

bool SetAllRowsState(PortableWindow& list, win::UINT state, win::UINT mask) {
    bool changed = false;
    for (ListRow& row : list.rows) {
        const win::UINT before = row.state;
        row.state = (before & ~mask) | (state & mask);
        changed = changed || before != row.state;
    }
    return changed;
}

int InsertItem(PortableWindow& list, const win::LVITEMA* item, bool& changed) {
    if (item == nullptr || item->iSubItem != 0 || item->iItem < 0) return -1;
    const std::size_t at = std::min(static_cast<std::size_t>(item->iItem), list.rows.size());
    ListRow row;
    row.texts.push_back((item->mask & win::LVIF_TEXT) != 0 ? TextOf(item->pszText) : std::string());
    list.rows.insert(list.rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    if ((item->mask & win::LVIF_STATE) != 0) ApplyRowState(list, at, item->state, item->stateMask);
    changed = true;
    return static_cast<int>(at);
}

int InsertColumn(PortableWindow& list, int index, const win::LVCOLUMNA* column, bool& changed) {
    if (column == nullptr || index < 0) return -1;
    const std::size_t at = std::min(static_cast<std::size_t>(index), list.columns.size());
    ListColumn added;
    if ((column->mask & win::LVCF_TEXT) != 0) added.text = TextOf(column->pszText);
    if ((column->mask & win::LVCF_WIDTH) != 0) added.width = column->cx;
    if ((column->mask & win::LVCF_FMT) != 0) added.format = column->fmt;
    list.columns.insert(list.columns.begin() + static_cast<std::ptrdiff_t>(at), std::move(added));
    // Column 0 always shows the item's own text; a column inserted further
    // right moves the subitems from there on one place along.
    if (at > 0) {
        for (ListRow& row : list.rows) {
            if (row.texts.size() > at) row.texts.insert(row.texts.begin() + static_cast<std::ptrdiff_t>(at), "");
        }
    }
    changed = true;
    return static_cast<int>(at);
}

bool DeleteColumn(PortableWindow& list, int index, bool& changed) {
    if (index < 0 || static_cast<std::size_t>(index) >= list.columns.size()) return false;
    list.columns.erase(list.columns.begin() + index);
    // Deleting column 0 keeps the item texts (subitem 0 belongs to the item).
    if (index > 0) {
        for (ListRow& row : list.rows) {
            if (row.texts.size() > static_cast<std::size_t>(index)) row.texts.erase(row.texts.begin() + index);
        }
    }
    changed = true;
    return true;
}

int AutoWidth(const PortableWindow& list, std::size_t column, bool useHeader) {
    std::size_t widest = useHeader ? list.columns[column].text.size() : 0;
    for (const ListRow& row : list.rows) {
        if (column < row.texts.size()) widest = std::max(widest, row.texts[column].size());
    }
    return static_cast<int>(widest) * kPixelsPerByte + kCellMargin;
}

bool SetColumnWidth(PortableWindow& list, int index, LPARAM lParam, bool& changed) {
    if (index < 0 || static_cast<std::size_t>(index) >= list.columns.size()) return false;
    const auto column = static_cast<std::size_t>(index);
    int width = static_cast<short>(lParam & 0xFFFF);
    if (width == kLvscwAutosize || width == kLvscwAutosizeUseHeader) {
        width = AutoWidth(list, column, width == kLvscwAutosizeUseHeader);
    }
    if (width < 0) width = 0;
    changed = list.columns[column].width != width;
    list.columns[column].width = width;
    return true;
}

bool SetItemState(PortableWindow& list, int index, const win::LVITEMA* item, bool& changed) {
    if (item == nullptr) return false;
    if (index == -1) {
        // Selecting every row cannot be done in a single-selection list, and
        // only one row can hold the focus.
        if (SingleSelection(list) && (item->stateMask & item->state & win::LVIS_SELECTED) != 0) return false;
        win::UINT mask = item->stateMask & kLvisStateBits;
        if ((item->state & win::LVIS_FOCUSED) != 0) mask &= ~win::LVIS_FOCUSED;
        changed = SetAllRowsState(list, item->state, mask);
        return true;
    }
    if (!ValidRow(list, index)) return false;
    changed = ApplyRowState(list, static_cast<std::size_t>(index), item->state, item->stateMask);
    return true;
}

LRESULT GetItemText(const PortableWindow& list, int index, win::LVITEMA* item) {
    if (item == nullptr || item->pszText == nullptr || item->cchTextMax <= 0) return 0;
    if (!ValidRow(list, index) || item->iSubItem < 0) {
        item->pszText[0] = '\0';
        return 0;
    }
    const ListRow& row = list.rows[static_cast<std::size_t>(index)];
    const auto subItem = static_cast<std::size_t>(item->iSubItem);
    const std::string empty;
    const std::string& text = subItem < row.texts.size() ? row.texts[subItem] : empty;
    return static_cast<LRESULT>(CopyText(text, item->pszText, static_cast<std::size_t>(item->cchTextMax)));
}

bool SetItemText(PortableWindow& list, int index, const win::LVITEMA* item, bool& changed) {
    if (item == nullptr || !ValidRow(list, index) || item->iSubItem < 0) return false;
    // A subitem needs its column.
    const auto subItem = static_cast<std::size_t>(item->iSubItem);
    if (subItem > 0 && subItem >= list.columns.size()) return false;
    ListRow& row = list.rows[static_cast<std::size_t>(index)];
    if (row.texts.size() <= subItem) row.texts.resize(subItem + 1);
    row.texts[subItem] = TextOf(item->pszText);
    changed = true;
    return true;
}

}  // namespace

bool HandleListViewMessage(PortableWindow& list, UINT message, WPARAM wParam, LPARAM lParam, ControlOutcome& out) {
    const int index = static_cast<int>(wParam);
    auto* item = reinterpret_cast<win::LVITEMA*>(lParam);
    switch (message) {
    case win::LVM_GETITEMCOUNT:
        out.result = static_cast<LRESULT>(list.rows.size());
        return true;
    case win::LVM_INSERTITEMA:
        out.result = InsertItem(list, item, out.changed);
        return true;
    case win::LVM_DELETEALLITEMS:
        out.changed = !list.rows.empty();
        list.rows.clear();
        out.result = 1;
        return true;
    case win::LVM_INSERTCOLUMNA:
        out.result = InsertColumn(list, index, reinterpret_cast<const win::LVCOLUMNA*>(lParam), out.changed);
        return true;
    case win::LVM_DELETECOLUMN:
        out.result = DeleteColumn(list, index, out.changed) ? 1 : 0;
        return true;
    case win::LVM_SETCOLUMNWIDTH:
        out.result = SetColumnWidth(list, index, lParam, out.changed) ? 1 : 0;
        return true;
    case win::LVM_GETHEADER:
        out.result = static_cast<LRESULT>(list.header);
        return true;
    case win::LVM_SETITEMSTATE:
        out.result = SetItemState(list, index, item, out.changed) ? 1 : 0;
        return true;
    case win::LVM_GETITEMSTATE:
        out.result = ValidRow(list, index)
                         ? static_cast<LRESULT>(list.rows[static_cast<std::size_t>(index)].state &
                                                static_cast<win::UINT>(lParam))
                         : 0;
        return true;
    case win::LVM_GETITEMTEXTA:
        out.result = GetItemText(list, index, item);
        return true;
    case win::LVM_SETITEMTEXTA:
        out.result = SetItemText(list, index, item, out.changed) ? 1 : 0;
        return true;
    case win::LVM_SETEXTENDEDLISTVIEWSTYLE: {
        // A mask of 0 means every bit.
        const auto mask = static_cast<win::DWORD>(wParam != 0 ? wParam : ~static_cast<WPARAM>(0));
        const win::DWORD previous = list.extendedStyle;
        list.extendedStyle = (previous & ~mask) | (static_cast<win::DWORD>(lParam) & mask);
        out.changed = previous != list.extendedStyle;
        out.result = static_cast<LRESULT>(previous);
        return true;
    }
    case win::LVM_GETEXTENDEDLISTVIEWSTYLE:
        out.result = static_cast<LRESULT>(list.extendedStyle);
        return true;
    default:
        return false;
    }
}

void ClickListRow(PortableWindow& list, int row) {
    if (!list.enabled) return;
    if (!ValidRow(list, row)) {
        SetAllRowsState(list, 0, win::LVIS_SELECTED);
        return;
    }
    for (ListRow& other : list.rows) other.state &= ~kLvisStateBits;
    list.rows[static_cast<std::size_t>(row)].state |= kLvisStateBits;
}

bool MoveListSelection(PortableWindow& list, int delta) {
    if (!list.enabled || list.rows.empty()) return false;
    int current = -1;
    for (std::size_t i = 0; i < list.rows.size() && current < 0; ++i) {
        if ((list.rows[i].state & win::LVIS_FOCUSED) != 0) current = static_cast<int>(i);
    }
    for (std::size_t i = 0; i < list.rows.size() && current < 0; ++i) {
        if ((list.rows[i].state & win::LVIS_SELECTED) != 0) current = static_cast<int>(i);
    }
    int target = current < 0 ? 0 : current + delta;
    target = std::max(0, std::min(target, static_cast<int>(list.rows.size()) - 1));
    std::vector<win::UINT> before;
    for (const ListRow& row : list.rows) before.push_back(row.state);
    ClickListRow(list, target);
    for (std::size_t i = 0; i < list.rows.size(); ++i) {
        if (before[i] != list.rows[i].state) return true;
    }
    return false;
}

}  // namespace ui::portable
