#pragma once

#include <string>
#include <string_view>

#include "base/Geometry.h"
#include "ui/core/Control.h"
#include "views/controls/CaptureFrameOwner.h"

// The move handle in the centre of the capture frame: dragging it moves the capture area
// step by step through the owner.
class DragButton : public ui::Control {
public:
    std::string GetClass() const override;  // "DragButton"
    void* GetInterface(std::string_view name) override;
    void DoEvent(ui::Event& event) override;

    void SetOwner(CaptureFrameOwner* owner) { owner_ = owner; }

private:
    CaptureFrameOwner* owner_ = nullptr;
    bool dragging_ = false;
    Point last_;
};
