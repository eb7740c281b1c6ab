#include "ui/controls/HorizontalLayout.h"

#include <algorithm>

namespace ui {

std::string HorizontalLayout::GetClass() const {
    return "HorizontalLayout";
}

void* HorizontalLayout::GetInterface(std::string_view name) {
    return name == "HorizontalLayout" ? this : Container::GetInterface(name);
}

void HorizontalLayout::LayoutChildren(const Rect& area) {
    int32_t fixedTotal = 0;
    int32_t flexible = 0;
    int32_t count = 0;
    for (auto& item : items_) {
        if (!item->IsVisible() || item->IsFloat()) {
            continue;
        }
        const Rect& pad = item->GetPadding();
        const Size size =
            item->EstimateSize(Size{area.width(), area.height() - pad.top - pad.bottom});
        if (size.cx > 0 || item->HasAutoWidth()) {
            fixedTotal += size.cx;
        } else {
            ++flexible;
        }
        fixedTotal += pad.left + pad.right;
        ++count;
    }
    if (count > 1) {
        fixedTotal += (count - 1) * childPadding_;
    }
    const int32_t spare = std::max(0, area.width() - fixedTotal);
    const int32_t share = flexible > 0 ? spare / flexible : 0;
    int32_t flexibleLeft = flexible;
    int32_t x = area.left;
    for (auto& item : items_) {
        if (!item->IsVisible() || item->IsFloat()) {
            continue;
        }
        const Rect& pad = item->GetPadding();
        Size size = item->EstimateSize(Size{area.width(), area.height() - pad.top - pad.bottom});
        if (size.cx <= 0 && !item->HasAutoWidth()) {
            // The last sharing child takes the remainder of the division.
            --flexibleLeft;
            size.cx = flexibleLeft == 0 ? spare - share * (flexible - 1) : share;
        }
        const int32_t top = area.top + pad.top;
        const int32_t bottom =
            size.cy > 0 ? top + size.cy : std::max(top, area.bottom - pad.bottom);
        x += pad.left;
        item->SetPos(Rect{x, top, x + size.cx, bottom});
        x += size.cx + pad.right + childPadding_;
    }
}

}  // namespace ui
