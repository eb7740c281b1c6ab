#pragma once

#include <memory>

#include "ui/controls/ScrollBar.h"
#include "ui/core/Container.h"

namespace ui {

// Stacks its non-float children top to bottom inside the inset: children with a fixed (or
// estimated) height get it, the others share what is left, childpadding apart, each within
// its padding and at its fixed width or the full width. With vscrollbar="true" content taller
// than the view scrolls, a scroll bar appearing at the right edge.
class VerticalLayout : public Container {
public:
    VerticalLayout();
    ~VerticalLayout() override;

    std::string GetClass() const override;  // "VerticalLayout"
    void* GetInterface(std::string_view name) override;

    void EnableScrollBar(bool enable);
    // Null unless enabled.
    ScrollBar* GetVerticalScrollBar() const { return scrollBar_.get(); }
    int32_t GetScrollPos() const;
    void SetScrollPos(int32_t pos);
    // The rect the children scroll in (the inset rect less the scroll bar when it shows).
    const Rect& GetViewRect() const { return view_; }

    void SetManager(PaintManager* manager, Control* parent, bool init = true) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    Control* FindControlAt(Point point) override;
    void DoPaint(Canvas& canvas, const Rect& dirty) override;
    void DoEvent(Event& event) override;

protected:
    void LayoutChildren(const Rect& area) override;
    // The total height the children ask for at this width (fixed ones, paddings, gaps) and
    // how many share the rest.
    void Measure(int32_t width, int32_t height, int32_t& fixedTotal, int32_t& flexible);
    // Re-places the children after the scroll position moved.
    void OnScrolled();

    std::unique_ptr<ScrollBar> scrollBar_;
    Rect view_;
};

}  // namespace ui
