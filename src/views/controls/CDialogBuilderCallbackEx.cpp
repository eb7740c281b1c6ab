#include "views/controls/CDialogBuilderCallbackEx.h"

#include "views/controls/CheckBoxButton.h"
#include "views/controls/HotKeyInput.h"

namespace {

template <typename T>
ui::Control* make() {
    return new T();
}

struct Maker {
    std::string_view name;
    ui::Control* (*make)();
};

constexpr Maker kControls[] = {
    {"CheckBoxButton", make<CheckBoxButton>}, {"HotKeyInput", make<HotKeyInput>},
    // The overlay's and the capture-area window's controls belong here too:
    // "Magnifier", "TransformTool", "DragButton".
};

}  // namespace

ui::Control* CDialogBuilderCallbackEx::CreateControl(std::string_view className) {
    for (const Maker& maker : kControls) {
        if (maker.name == className) {
            return maker.make();
        }
    }
    return nullptr;
}
