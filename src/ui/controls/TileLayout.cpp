#include "ui/controls/TileLayout.h"

#include <algorithm>

#include "ui/core/Attributes.h"

namespace ui {

std::string TileLayout::GetClass() const {
    return "TileLayout";
}

void* TileLayout::GetInterface(std::string_view name) {
    return name == "TileLayout" ? this : Container::GetInterface(name);
}

void TileLayout::SetColumns(int32_t columns) {
    columns_ = std::max(0, columns);
    NeedUpdate();
}

void TileLayout::SetItemSize(Size size) {
    itemSize_ = size;
    NeedUpdate();
}

Size TileLayout::EstimateSize(Size available) {
    if (fixed_.cy > 0) {
        return fixed_;
    }
    const int32_t width = fixed_.cx > 0 ? fixed_.cx : available.cx;
    const Rect area{0, 0, width - inset_.left - inset_.right, 0};
    return Size{fixed_.cx, Arrange(area, false) + inset_.top + inset_.bottom};
}

void TileLayout::SetAttribute(std::string_view name, std::string_view value) {
    int32_t n = 0;
    Size s;
    if (name == "columns") {
        if (parseInt(value, n)) {
            SetColumns(n);
        }
    } else if (name == "itemsize") {
        if (parseSize(value, s)) {
            SetItemSize(s);
        }
    } else {
        Container::SetAttribute(name, value);
    }
}

void TileLayout::LayoutChildren(const Rect& area) {
    Arrange(area, true);
}

int32_t TileLayout::ColumnsFor(int32_t width) const {
    if (columns_ > 0) {
        return columns_;
    }
    if (itemSize_.cx > 0) {
        return std::max(1, (width + childPadding_) / (itemSize_.cx + childPadding_));
    }
    return 1;
}

int32_t TileLayout::CellWidth(int32_t width, int32_t columns) const {
    if (itemSize_.cx > 0) {
        return itemSize_.cx;
    }
    return std::max(0, (width - (columns - 1) * childPadding_) / columns);
}

int32_t TileLayout::Arrange(const Rect& area, bool place) {
    const int32_t columns = ColumnsFor(area.width());
    const int32_t cellWidth = CellWidth(area.width(), columns);
    int32_t y = area.top;
    int32_t total = 0;
    size_t i = 0;
    while (true) {
        // One row: the next `columns` visible non-float children.
        std::vector<Control*> row;
        for (; i < items_.size() && static_cast<int32_t>(row.size()) < columns; ++i) {
            if (items_[i]->IsVisible() && !items_[i]->IsFloat()) {
                row.push_back(items_[i].get());
            }
        }
        if (row.empty()) {
            break;
        }
        int32_t rowHeight = itemSize_.cy;
        if (rowHeight <= 0) {
            for (Control* c : row) {
                const Rect& pad = c->GetPadding();
                const Size size = c->EstimateSize(Size{cellWidth, 0});
                rowHeight = std::max(rowHeight, size.cy + pad.top + pad.bottom);
            }
        }
        if (place) {
            int32_t x = area.left;
            for (Control* c : row) {
                const Rect cell{x, y, x + cellWidth, y + rowHeight};
                c->SetPos(PlaceIn(*c, cell, c->EstimateSize(Size{cellWidth, rowHeight})));
                x += cellWidth + childPadding_;
            }
        }
        total = (y - area.top) + rowHeight;
        y += rowHeight + childPadding_;
    }
    return total;
}

}  // namespace ui
