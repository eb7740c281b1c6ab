#pragma once

#include "ui/controls/VerticalLayout.h"

namespace ui {

// A vertical list of ListContainerElement rows, stacked by their fixed heights and scrolled
// by a vertical scroll bar (vscrollbar="true") when taller than the list. It keeps the current
// selection; the row under the pointer and the selected row show the item colours. There is
// no column header (header="hidden" is accepted and is what every list looks like).
class List : public VerticalLayout {
public:
    std::string GetClass() const override;  // "List"
    void* GetInterface(std::string_view name) override;

    // Selects the row at index, deselecting the previous one, and raises "itemselect" with
    // wParam the new index and lParam the old. -1 clears the selection without a notification.
    // Selecting the current row again changes nothing. False when no row is selected after
    // the call (-1, or an index without a row).
    bool SelectItem(int index, bool takeFocus = false);
    int GetCurSel() const { return curSel_; }
    // Scrolls so that the row at index is in view.
    void EnsureVisible(int index);

    Argb GetItemHotBkColor() const { return itemHotBkColor_; }
    void SetItemHotBkColor(Argb colour);
    Argb GetItemSelectedBkColor() const { return itemSelectedBkColor_; }
    void SetItemSelectedBkColor(Argb colour);

    bool AddAt(std::unique_ptr<Control> control, int index) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;
    void SetAttribute(std::string_view name, std::string_view value) override;

private:
    int curSel_ = -1;
    Argb itemHotBkColor_ = 0;
    Argb itemSelectedBkColor_ = 0;
};

}  // namespace ui
