#include "views/GeneratingWin.h"

#include "ui/controls/Progress.h"

GeneratingWin::GeneratingWin(bool offscreen) {
    const uint32_t style = ui::WS_POPUP | ui::WS_VISIBLE;
    const uint32_t exStyle = ui::WS_EX_TOOLWINDOW | ui::WS_EX_TOPMOST;
    if (offscreen) {
        CreateOffscreen(L"Generating", style, exStyle);
    } else {
        Create(0, L"Generating", style, exStyle);
    }
    CenterWindow();
}

std::string GeneratingWin::GetWindowClassName() const {
    return "GeneratingWin";
}

uint32_t GeneratingWin::GetLayoutId() const {
    return 189;
}

void GeneratingWin::InitWindow() {
    if (ui::Control* progress = pm_.FindControl("progress")) {
        progress_ = static_cast<ui::Progress*>(progress->GetInterface("Progress"));
    }
    progressCaption_ = pm_.FindControl("progressCaption");
    taskName_ = pm_.FindControl("taskName");
}

void GeneratingWin::SetProgress(int32_t percent) {
    if (progress_ != nullptr) {
        progress_->SetValue(percent);
    }
    if (progressCaption_ != nullptr) {
        progressCaption_->SetText(std::to_wstring(percent) + L"%");
    }
}

void GeneratingWin::SetTaskName(const std::wstring& name) {
    if (taskName_ != nullptr) {
        taskName_->SetText(name);
    }
}
