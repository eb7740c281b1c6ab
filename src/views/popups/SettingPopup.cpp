#include "views/popups/SettingPopup.h"

#include <memory>

#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "flux/InputRouter.h"
#include "input/InputManager.h"
#include "text/UiText.h"
#include "ui/controls/Button.h"
#include "ui/controls/Label.h"
#include "ui/core/Container.h"
#include "views/controls/HotKeyInput.h"

namespace {

constexpr ui::Argb kChoiceBk = 0xFFD4D7E1;
constexpr ui::Argb kChoiceHotBk = 0xFFC4C8D6;
constexpr int32_t kTileSize = 76;

// The cursor images of each style group, in tile order.
constexpr int kPointImages[] = {101, 104, 107, 110, 102, 105, 108, 111, 103, 106, 109, 112};
constexpr int kPressImages[] = {113, 116, 119, 122, 114, 117, 120, 123, 115, 118, 121, 124};
constexpr int kShapeImages[] = {125, 128, 131, 134, 126, 129, 132, 135, 127, 130, 133, 136};

ui::Container* findContainer(ui::PaintManager& pm, const char* name) {
    ui::Control* control = pm.FindControl(name);
    return control != nullptr ? static_cast<ui::Container*>(control->GetInterface("Container"))
                              : nullptr;
}

std::unique_ptr<ui::Button> makeChoice(int32_t width, int32_t height) {
    auto button = std::make_unique<ui::Button>();
    button->SetFixedWidth(width);
    button->SetFixedHeight(height);
    button->SetBorderSize(2);
    button->SetBkColor(kChoiceBk);
    button->SetHotBkColor(kChoiceHotBk);
    return button;
}

// Tiles are named <prefix><index> ("pointTile5") so that tools outside can find them.
void addTiles(ui::Container* panel, const char* prefix, const int (&images)[12]) {
    if (panel == nullptr) {
        return;
    }
    for (int image : images) {
        auto tile = makeChoice(kTileSize, kTileSize);
        tile->SetName(prefix + std::to_string(panel->GetCount()));
        tile->SetNormalImage("res='" + std::to_string(image) + "' restype='PNG'");
        panel->Add(std::move(tile));
    }
}

void send(int32_t action, int32_t value) {
    ActionDispatcher::instance().dispatch(action, &value);
}

bool isIn(const ui::Control* control, const ui::Container* panel) {
    return panel != nullptr && control->GetParent() == panel;
}

void setText(ui::PaintManager& pm, const char* name, const wchar_t* text) {
    if (ui::Control* control = pm.FindControl(name)) {
        control->SetText(text);
    }
}

}  // namespace

SettingPopup::SettingPopup(ui::WindowId parent, ui::Control* anchor)
    : Popup(kLayout, parent, anchor) {}

void SettingPopup::InitWindow() {
    bottomLine_ = pm_.FindControl("bottomLine");
    tab_ = findContainer(pm_, "tab");
    point_.panel = findContainer(pm_, "pointStylePanel");
    press_.panel = findContainer(pm_, "pressStylePanel");
    shape_.panel = findContainer(pm_, "shapeStylePanel");
    point_.none = pm_.FindControl("pointNone");
    press_.none = pm_.FindControl("pressNone");
    shape_.none = pm_.FindControl("shapeNone");
    captureMethod_.panel = findContainer(pm_, "captureMethodPanel");
    quality_.panel = findContainer(pm_, "qualityPanel");
    hotkeyPanel_ = findContainer(pm_, "hotkeyPanel");
    hotkeyCaptionPanel_ = findContainer(pm_, "hotkeyCaptionPanel");
    BuildContent();

    setText(pm_, "mouseSettingTab", Text::mouseTab.get());
    setText(pm_, "captureSettingTab", Text::captureTab.get());
    setText(pm_, "captureCaption", Text::captureTab.get());
    setText(pm_, "hotkeySettingTab", Text::hotkeyTab.get());
    setText(pm_, "pointStyle", Text::pointerCaption.get());
    setText(pm_, "pressStyle", Text::pressedApertureCaption.get());
    setText(pm_, "shapeStyle", Text::apertureCaption.get());
    setText(pm_, "qualityCaption", Text::qualityCaption.get());
}

void SettingPopup::BuildContent() {
    addTiles(point_.panel, "pointTile", kPointImages);
    addTiles(press_.panel, "pressTile", kPressImages);
    addTiles(shape_.panel, "shapeTile", kShapeImages);
    if (quality_.panel != nullptr) {
        for (const UiText& name : Text::qualityNames) {
            auto button = makeChoice(344, 48);
            button->SetText(name.get());
            quality_.panel->Add(std::move(button));
        }
    }
    if (captureMethod_.panel != nullptr) {
        for (int method = 0; method < 2; ++method) {
            auto button = makeChoice(166, 32);
            button->SetText(Text::captureMethodLabels[method].get());
            button->SetToolTip(Text::captureMethodDescriptions[method].get());
            captureMethod_.panel->Add(std::move(button));
        }
    }
    for (int hotkey = 0; hotkey < 3; ++hotkey) {
        if (hotkeyCaptionPanel_ != nullptr) {
            auto caption = std::make_unique<ui::Label>();
            caption->SetFixedWidth(120);
            caption->SetFixedHeight(32);
            caption->SetText(Text::hotkeyNames[hotkey].get());
            hotkeyCaptionPanel_->Add(std::move(caption));
        }
        if (hotkeyPanel_ != nullptr) {
            auto field = std::make_unique<HotKeyInput>();
            field->SetFixedWidth(180);
            field->SetFixedHeight(32);
            field->SetBorderColor(0xFFBFCBD9);
            field->SetFocusBorderColor(0xFF0093F3);
            field->SetBorderSize(1);
            field->SetTextPadding({8, 6, 8, 6});
            field->SetUserData(std::to_wstring(hotkey));
            hotkeyPanel_->Add(std::move(field));
        }
    }
}

void SettingPopup::Notify(ui::Notification& msg) {
    // Only clicks count; the framework's own handling (a "closebtn" closing the window) is
    // not wanted here.
    if (msg.type != "click" || msg.sender == nullptr) {
        return;
    }
    ui::Control* sender = msg.sender;
    const std::string& name = sender->GetName();
    auto indexIn = [sender](const ui::Container* panel) { return panel->GetItemIndex(sender); };
    if (name == "closeBtn") {
        HidePopup();
    } else if (isIn(sender, tab_)) {
        SelectTab(indexIn(tab_));
    } else if (name == "pointNone" || isIn(sender, point_.panel)) {
        send(Action::SetPointStyle, name == "pointNone" ? -1 : indexIn(point_.panel));
    } else if (name == "pressNone" || isIn(sender, press_.panel)) {
        send(Action::SetPressStyle, name == "pressNone" ? -1 : indexIn(press_.panel));
    } else if (name == "shapeNone" || isIn(sender, shape_.panel)) {
        send(Action::SetShapeStyle, name == "shapeNone" ? -1 : indexIn(shape_.panel));
    } else if (isIn(sender, captureMethod_.panel)) {
        send(Action::SetCaptureMethod, indexIn(captureMethod_.panel));
    } else if (isIn(sender, quality_.panel)) {
        send(Action::SetQuality, indexIn(quality_.panel));
    }
}

void SettingPopup::SelectTab(int32_t index) {
    if (index == currentTab_ || tab_ == nullptr) {
        return;
    }
    ui::Control* next = tab_->GetItemAt(index);
    ui::Control* last = tab_->GetItemAt(currentTab_);
    if (next == nullptr) {
        return;
    }
    previousTab_ = currentTab_;
    currentTab_ = index;
    if (bottomLine_ != nullptr) {
        // The underline floats in the tab bar: its place there is kept too, so that a new
        // layout of the bar leaves it under the current tab.
        const Rect& button = next->GetPos();
        const Rect line = bottomLine_->GetPos();
        bottomLine_->SetFixedXY({button.left - tab_->GetPos().left, bottomLine_->GetFixedXY().y});
        bottomLine_->SetPos(
            {button.left, line.top, button.left + next->GetFixedWidth(), line.bottom});
    }
    if (last != nullptr) {
        if (ui::Control* panel = pm_.FindControl(last->GetName() + "Panel")) {
            panel->SetVisible(false);
        }
    }
    if (ui::Control* panel = pm_.FindControl(next->GetName() + "Panel")) {
        panel->SetVisible(true);
    }
}

ui::Control* SettingPopup::ChoiceAt(const Group& group, int32_t index) {
    if (index == -1) {
        return group.none;
    }
    if (index < -1 || group.panel == nullptr) {
        return nullptr;
    }
    return group.panel->GetItemAt(index);
}

void SettingPopup::Select(Group& group, int32_t index) {
    if (index == group.current) {
        return;
    }
    group.previous = group.current;
    group.current = index;
    if (ui::Control* selected = ChoiceAt(group, group.current)) {
        selected->SetBorderColor(kSelectedBorder);
    }
    if (ui::Control* unselected = ChoiceAt(group, group.previous)) {
        unselected->SetBorderColor(kUnselectedBorder);
    }
}

void SettingPopup::SetHotkeyText(int32_t index, const std::wstring& keycode) {
    if (hotkeyPanel_ == nullptr) {
        return;
    }
    if (ui::Control* field = hotkeyPanel_->GetItemAt(index)) {
        field->SetText(InputRouter::manager().keycodeText(keycode));
    }
}
