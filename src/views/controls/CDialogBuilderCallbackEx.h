#pragma once

#include <string_view>

#include "ui/layout/IDialogBuilderCallback.h"

// Makes this program's own control classes for the layout builder, by exact (case-sensitive)
// class name; any other name gives null, and the builder makes its stock controls. No state.
class CDialogBuilderCallbackEx : public ui::IDialogBuilderCallback {
public:
    ui::Control* CreateControl(std::string_view className) override;
};
