#include "views/controls/CDialogBuilderCallbackEx.h"

#include "views/controls/CheckBoxButton.h"
#include "views/controls/DragButton.h"
#include "views/controls/HotKeyInput.h"
#include "views/controls/Magnifier.h"
#include "views/controls/TransformTool.h"

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
    {"Magnifier", make<Magnifier>},           {"TransformTool", make<TransformTool>},
    {"DragButton", make<DragButton>},
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
