#include "views/controls/DragButton.h"

std::string DragButton::GetClass() const {
    return "DragButton";
}

void* DragButton::GetInterface(std::string_view name) {
    return name == "DragButton" ? this : ui::Control::GetInterface(name);
}

void DragButton::DoEvent(ui::Event& event) {
    switch (event.type) {
        case ui::EventType::ButtonDown:
            dragging_ = true;
            last_ = event.mouse;
            break;
        case ui::EventType::MouseMove:
            if (dragging_ && owner_ != nullptr) {
                const int32_t dx = event.mouse.x - last_.x;
                const int32_t dy = event.mouse.y - last_.y;
                last_ = event.mouse;
                owner_->MoveCaptureRect(dx, dy);
            }
            break;
        case ui::EventType::ButtonUp:
            dragging_ = false;
            break;
        default:
            break;
    }
}
