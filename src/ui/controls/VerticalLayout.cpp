#include "ui/controls/VerticalLayout.h"

#include <algorithm>

#include "ui/core/Attributes.h"
#include "ui/render/Canvas.h"
#include "ui/render/RectMath.h"

namespace ui {

VerticalLayout::VerticalLayout() = default;

VerticalLayout::~VerticalLayout() = default;

std::string VerticalLayout::GetClass() const {
    return "VerticalLayout";
}

void* VerticalLayout::GetInterface(std::string_view name) {
    return name == "VerticalLayout" ? this : Container::GetInterface(name);
}

void VerticalLayout::EnableScrollBar(bool enable) {
    if (enable == (scrollBar_ != nullptr)) {
        return;
    }
    if (!enable) {
        scrollBar_.reset();
    } else {
        scrollBar_ = std::make_unique<ScrollBar>();
        scrollBar_->SetFixedWidth(ScrollBar::kDefaultWidth);
        scrollBar_->SetManager(manager_, this, manager_ != nullptr);
        scrollBar_->SetVisible(false);
        scrollBar_->SetOnScroll([this](int32_t) { OnScrolled(); });
    }
    NeedUpdate();
}

int32_t VerticalLayout::GetScrollPos() const {
    return scrollBar_ != nullptr ? scrollBar_->GetScrollPos() : 0;
}

void VerticalLayout::SetScrollPos(int32_t pos) {
    if (scrollBar_ != nullptr) {
        scrollBar_->SetScrollPos(pos);
    }
}

void VerticalLayout::SetManager(PaintManager* manager, Control* parent, bool init) {
    Container::SetManager(manager, parent, init);
    if (scrollBar_ != nullptr) {
        scrollBar_->SetManager(manager, this, init);
    }
}

void VerticalLayout::SetAttribute(std::string_view name, std::string_view value) {
    bool b = false;
    if (name == "vscrollbar") {
        if (parseBool(value, b)) {
            EnableScrollBar(b);
        }
    } else if (name == "vscrollbarstyle") {
        EnableScrollBar(true);
        for (const auto& [key, v] : parseAttributeList(value)) {
            scrollBar_->SetAttribute(key, v);
        }
    } else {
        Container::SetAttribute(name, value);
    }
}

Control* VerticalLayout::FindControlAt(Point point) {
    if (!IsVisible() || !Contains(point)) {
        return nullptr;
    }
    if (scrollBar_ != nullptr) {
        if (Control* bar = scrollBar_->FindControlAt(point)) {
            return bar;
        }
    }
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        // Children scrolled out of the view cannot be hit through the inset or the bar.
        const Point p = point;
        const bool inView =
            p.x >= view_.left && p.x < view_.right && p.y >= view_.top && p.y < view_.bottom;
        if (!(*it)->IsFloat() && !inView) {
            continue;
        }
        if (Control* found = (*it)->FindControlAt(point)) {
            return found;
        }
    }
    return mouseEnabled_ ? this : nullptr;
}

void VerticalLayout::DoPaint(Canvas& canvas, const Rect& dirty) {
    if (scrollBar_ == nullptr || !scrollBar_->IsVisible()) {
        Container::DoPaint(canvas, dirty);
        return;
    }
    if (isEmptyRect(intersectRect(dirty, rect_))) {
        return;
    }
    Control::DoPaint(canvas, dirty);
    PaintChildren(canvas, dirty, view_);
    const Rect area = intersectRect(dirty, rect_);
    Canvas::ClipScope scope(canvas, area);
    scrollBar_->DoPaint(canvas, area);
}

void VerticalLayout::DoEvent(Event& event) {
    if (event.type == EventType::ScrollWheel && scrollBar_ != nullptr && scrollBar_->IsVisible()) {
        scrollBar_->DoEvent(event);
        return;
    }
    Container::DoEvent(event);
}

void VerticalLayout::Measure(int32_t width, int32_t height, int32_t& fixedTotal,
                             int32_t& flexible) {
    fixedTotal = 0;
    flexible = 0;
    int32_t count = 0;
    for (auto& item : items_) {
        if (!item->IsVisible() || item->IsFloat()) {
            continue;
        }
        const Rect& pad = item->GetPadding();
        const Size size = item->EstimateSize(Size{width - pad.left - pad.right, height});
        if (size.cy > 0) {
            fixedTotal += size.cy;
        } else {
            ++flexible;
        }
        fixedTotal += pad.top + pad.bottom;
        ++count;
    }
    if (count > 1) {
        fixedTotal += (count - 1) * childPadding_;
    }
}

void VerticalLayout::LayoutChildren(const Rect& area) {
    view_ = area;
    int32_t fixedTotal = 0;
    int32_t flexible = 0;
    Measure(area.width(), area.height(), fixedTotal, flexible);
    int32_t offset = 0;
    if (scrollBar_ != nullptr) {
        const bool overflow = fixedTotal > area.height();
        if (overflow) {
            const int32_t barWidth = std::max(1, scrollBar_->GetFixedWidth());
            view_.right = std::max(view_.left, area.right - barWidth);
            Measure(view_.width(), area.height(), fixedTotal, flexible);
            scrollBar_->SetPos(Rect{view_.right, area.top, area.right, area.bottom});
        }
        scrollBar_->SetVisible(overflow);
        // The range is set silently: this layout is already placing the children.
        auto onScroll = [this](int32_t) { OnScrolled(); };
        scrollBar_->SetOnScroll(nullptr);
        scrollBar_->SetScrollRange(overflow ? fixedTotal - area.height() : 0);
        scrollBar_->SetOnScroll(onScroll);
        offset = scrollBar_->GetScrollPos();
    }
    const int32_t spare = std::max(0, view_.height() - fixedTotal);
    const int32_t share = flexible > 0 ? spare / flexible : 0;
    int32_t flexibleLeft = flexible;
    int32_t y = view_.top - offset;
    for (auto& item : items_) {
        if (!item->IsVisible() || item->IsFloat()) {
            continue;
        }
        const Rect& pad = item->GetPadding();
        Size size = item->EstimateSize(Size{view_.width() - pad.left - pad.right, view_.height()});
        if (size.cy <= 0) {
            // The last sharing child takes the remainder of the division.
            --flexibleLeft;
            size.cy = flexibleLeft == 0 ? spare - share * (flexible - 1) : share;
        }
        const int32_t left = view_.left + pad.left;
        const int32_t right = size.cx > 0 || item->HasAutoWidth()
                                  ? left + size.cx
                                  : std::max(left, view_.right - pad.right);
        y += pad.top;
        item->SetPos(Rect{left, y, right, y + size.cy});
        y += size.cy + pad.bottom + childPadding_;
    }
}

void VerticalLayout::OnScrolled() {
    LayoutChildren(InsetRect());
    Invalidate();
}

}  // namespace ui
