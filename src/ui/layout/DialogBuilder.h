#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "ui/core/Control.h"
#include "ui/layout/IDialogBuilderCallback.h"

namespace pugi {
class xml_node;
}

namespace ui {

class PaintManager;

// Builds a control tree from an XML layout. The root element "Window" carries the window's
// attributes (size, caption, shadowimage, ...) and its Font elements, which go to the paint
// manager; its first control element becomes the root control. Stock class names make stock
// controls; any other name is asked from the callback (exactly as written), and a name nobody
// knows is skipped with everything inside it. Attributes are applied in document order, and
// the children of containers are added in order. The tree is not attached to the manager.
class DialogBuilder {
public:
    // From the program's embedded resources (findResource(layoutId, type)). Null when the
    // resource is missing or not a layout.
    std::unique_ptr<Control> Create(uint32_t layoutId, const char* type,
                                    IDialogBuilderCallback* callback, PaintManager* manager);
    std::unique_ptr<Control> CreateFromText(std::string_view xml, IDialogBuilderCallback* callback,
                                            PaintManager* manager);

    // A stock control for a class name, or null.
    static std::unique_ptr<Control> CreateStockControl(std::string_view className);

private:
    std::unique_ptr<Control> Build(const pugi::xml_node& node);

    IDialogBuilderCallback* callback_ = nullptr;
};

}  // namespace ui
