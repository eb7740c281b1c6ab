#pragma once

#include "ui/core/Container.h"

namespace ui {

// Lays its non-float children out in rows of `columns` cells, left to right, top to bottom,
// childpadding apart. A cell is itemsize big; without itemsize the cells share the width and
// a row is as high as its tallest fixed child. Without columns, as many cells of itemsize as
// fit in a row. Each child sits at its cell's top-left within its padding, at its fixed size
// or filling the cell.
class TileLayout : public Container {
public:
    std::string GetClass() const override;  // "TileLayout"
    void* GetInterface(std::string_view name) override;

    int32_t GetColumns() const { return columns_; }
    void SetColumns(int32_t columns);
    Size GetItemSize() const { return itemSize_; }
    void SetItemSize(Size size);

    // Without a fixed height, the height of the rows at the available width.
    Size EstimateSize(Size available) override;
    void SetAttribute(std::string_view name, std::string_view value) override;

protected:
    void LayoutChildren(const Rect& area) override;

private:
    int32_t ColumnsFor(int32_t width) const;
    int32_t CellWidth(int32_t width, int32_t columns) const;
    // Places (or, with place false, only measures) the children; returns the rows' height.
    int32_t Arrange(const Rect& area, bool place);

    int32_t columns_ = 0;
    Size itemSize_;
};

}  // namespace ui
