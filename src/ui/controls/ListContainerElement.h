#pragma once

#include "ui/core/Container.h"

namespace ui {

class List;

// One row of a List: a container (its children stacked over it) that the list stacks by its
// fixed height. A press selects it in its list; it shows the list's hot background under the
// pointer and the list's selected background while selected. A row that ignores the mouse
// cannot be picked by clicking.
class ListContainerElement : public Container {
public:
    std::string GetClass() const override;  // "ListContainerElement"
    void* GetInterface(std::string_view name) override;

    // The list holding this row, null when it is not in one.
    List* GetOwner() const;
    // Its index in the list, -1 outside one.
    int GetIndex() const;
    bool IsSelected() const { return (state_ & UISTATE_SELECTED) != 0; }
    // Sets the look only; List::SelectItem is what selects.
    void SetSelectedState(bool selected);

    void DoEvent(Event& event) override;
    void PaintBkColor(Canvas& canvas) override;
};

}  // namespace ui
