#include "views/CaptureDropDownList.h"

#include <cstdio>
#include <memory>
#include <string>

#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "flux/StoreTables.h"
#include "text/UiText.h"
#include "ui/controls/Label.h"
#include "ui/controls/List.h"
#include "ui/controls/ListContainerElement.h"
#include "views/ViewMessages.h"

namespace {

constexpr int32_t kRowHeight = 32;
constexpr Rect kRowTextPadding{40, 8, 12, 8};
constexpr uint32_t kWideImage = 138;
constexpr uint32_t kFourThreeImage = 137;
constexpr uint32_t kHistoryImage = 143;
constexpr int32_t kWidth = 120;
constexpr int32_t kHeight = 256;

std::unique_ptr<ui::Control> makeRow(const std::wstring& text, const std::string& image) {
    auto label = std::make_unique<ui::Label>();
    label->SetMouseEnabled(false);
    label->SetFont(0);
    label->SetTextPadding(kRowTextPadding);
    label->SetBkImage(image);
    label->SetText(text);
    auto row = std::make_unique<ui::ListContainerElement>();
    row->SetFixedHeight(kRowHeight);
    row->Add(std::move(label));
    return row;
}

std::string presetImage(int32_t width, int32_t height) {
    // 4:3 sizes have their own icon.
    const uint32_t image = width * 3 == height * 4 ? kFourThreeImage : kWideImage;
    char descriptor[96];
    std::snprintf(descriptor, sizeof descriptor,
                  "res='%u' restype='PNG' source='0,0,24,24' dest='4,4,28,28'", image);
    return descriptor;
}

}  // namespace

CaptureDropDownList::CaptureDropDownList(ui::WindowId parent, ui::Control* anchor)
    : Popup(kLayout, parent, anchor) {}

void CaptureDropDownList::InitWindow() {
    if (ui::Control* list = pm_.FindControl("captureDropDownList")) {
        list_ = static_cast<ui::List*>(list->GetInterface("List"));
    }
    if (ui::Control* custom = pm_.FindControl("custom")) {
        custom->SetText(Text::customItem.get());
    }
    if (ui::Control* all = pm_.FindControl("all")) {
        all->SetText(Text::screenItem.get());
    }
    if (list_ != nullptr) {
        for (int item = kFirstPresetItem; item < kFirstPresetItem + kPresetCount; ++item) {
            const auto size = StoreTables::presetSize(item);
            if (!size) {
                continue;
            }
            const std::wstring text =
                std::to_wstring(size->width) + L"x" + std::to_wstring(size->height);
            list_->Add(makeRow(text, presetImage(size->width, size->height)));
        }
        char history[96];
        std::snprintf(history, sizeof history,
                      "res='%u' restype='PNG' source='0,0,16,16' dest='12,8,28,24'", kHistoryImage);
        list_->Add(makeRow(Text::historyItem.get(), history));
    }
    MoveWindow(0, 0, kWidth, kHeight);
}

void CaptureDropDownList::Notify(ui::Notification& msg) {
    if (msg.type != "itemselect") {
        return;
    }
    const auto index = static_cast<int32_t>(msg.wParam);
    if (index != kCustomItem) {
        int32_t item = index;
        ActionDispatcher::instance().dispatch(Action::ChooseCaptureArea, &item);
    } else {
        if (list_ != nullptr) {
            list_->SelectItem(-1, false);
        }
        ui::PostMessage(parent_, WM_BEGIN_DETECTION);
    }
    HidePopup();
}
