#pragma once

#include "ui/core/Container.h"

namespace ui {

// Lines its non-float children up left to right inside the inset: children with a fixed (or
// estimated) width get it, the others share what is left, childpadding apart, each within its
// padding and at its fixed height or the full height.
class HorizontalLayout : public Container {
public:
    std::string GetClass() const override;  // "HorizontalLayout"
    void* GetInterface(std::string_view name) override;

protected:
    void LayoutChildren(const Rect& area) override;
};

}  // namespace ui
