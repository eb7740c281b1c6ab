#pragma once

#include <memory>
#include <vector>

#include "ui/core/Control.h"

namespace ui {

// A control that owns and places child controls. Float children sit at their fixed place
// relative to the container's top-left; the others are stacked over the inset rect, each at
// its fixed size (or filling it) within its padding. Layouts derive from it and place their
// non-float children their own way. Children paint over the container, clipped to it.
class Container : public Control {
public:
    Container();
    ~Container() override;

    std::string GetClass() const override;  // "Container"
    void* GetInterface(std::string_view name) override;

    // Children. The container owns them; Remove* destroys them.
    virtual bool Add(std::unique_ptr<Control> control);
    virtual bool AddAt(std::unique_ptr<Control> control, int index);
    virtual bool Remove(Control* control);
    virtual bool RemoveAt(int index);
    virtual void RemoveAll();
    Control* GetItemAt(int index) const;
    int GetItemIndex(const Control* control) const;  // -1 when not a child
    int GetCount() const { return static_cast<int>(items_.size()); }

    const Rect& GetInset() const { return inset_; }
    void SetInset(const Rect& inset);
    int32_t GetChildPadding() const { return childPadding_; }
    void SetChildPadding(int32_t padding);

    void SetManager(PaintManager* manager, Control* parent, bool init = true) override;
    Control* FindControlAt(Point point) override;
    Control* FindControlByName(std::string_view name) override;
    void SetPos(const Rect& rect, bool needInvalidate = true) override;
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void DoPaint(Canvas& canvas, const Rect& dirty) override;

protected:
    // The rect inside the inset.
    Rect InsetRect() const;
    // Places the non-float children in `area` (the inset rect); the base stacks them.
    virtual void LayoutChildren(const Rect& area);
    // Places a float child by its fixed placement relative to this container.
    void SetFloatPos(Control& child);
    // Paints the visible children within dirty, clipped to clip.
    void PaintChildren(Canvas& canvas, const Rect& dirty, const Rect& clip);
    // The rect of a child of fixed size cx × cy (0: fill) at the top-left of area, within its
    // padding.
    static Rect PlaceIn(const Control& child, const Rect& area, Size size);

    std::vector<std::unique_ptr<Control>> items_;
    Rect inset_;
    int32_t childPadding_ = 0;
};

}  // namespace ui
