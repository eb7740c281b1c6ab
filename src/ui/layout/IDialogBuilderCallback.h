#pragma once

#include <string_view>

namespace ui {

class Control;

// Asked by the layout builder for every element name it does not know itself.
class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    // A new control for the class name (compared exactly), owned by the caller; null if none.
    virtual Control* CreateControl(std::string_view className) = 0;
};

}  // namespace ui
