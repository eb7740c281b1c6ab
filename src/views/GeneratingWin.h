#pragma once

#include <cstdint>
#include <string>

#include "ui/window/WindowImplBase.h"

namespace ui {
class Progress;
}

// The progress window shown while the recording's files are finished: a task name, the
// percent done and a bar. Centred and topmost.
class GeneratingWin : public ui::WindowImplBase {
public:
    // Creates the window, shown and centred. Off-screen: without a display (tests, pictures).
    explicit GeneratingWin(bool offscreen = false);

    std::string GetWindowClassName() const override;  // "GeneratingWin"
    uint32_t GetLayoutId() const override;            // 189
    void InitWindow() override;

    // The bar's value and the caption "N%".
    void SetProgress(int32_t percent);
    void SetTaskName(const std::wstring& name);

private:
    ui::Progress* progress_ = nullptr;
    ui::Control* progressCaption_ = nullptr;
    ui::Control* taskName_ = nullptr;
};
