#include "ui/layout/DialogBuilder.h"

#include <pugixml.hpp>

#include <cstring>

#include "base/Log.h"
#include "resources/Resources.h"
#include "ui/controls/Button.h"
#include "ui/controls/CheckBox.h"
#include "ui/controls/Edit.h"
#include "ui/controls/HorizontalLayout.h"
#include "ui/controls/Label.h"
#include "ui/controls/List.h"
#include "ui/controls/ListContainerElement.h"
#include "ui/controls/Option.h"
#include "ui/controls/Progress.h"
#include "ui/controls/ScrollBar.h"
#include "ui/controls/Slider.h"
#include "ui/controls/TileLayout.h"
#include "ui/controls/VerticalLayout.h"
#include "ui/core/Attributes.h"
#include "ui/core/Container.h"
#include "ui/core/PaintManager.h"

namespace ui {

namespace {

template <typename T>
std::unique_ptr<Control> make() {
    return std::make_unique<T>();
}

struct StockClass {
    const char* name;
    std::unique_ptr<Control> (*create)();
};

const StockClass kStockClasses[] = {
    {"Control", make<Control>},
    {"Container", make<Container>},
    {"VerticalLayout", make<VerticalLayout>},
    {"HorizontalLayout", make<HorizontalLayout>},
    {"TileLayout", make<TileLayout>},
    {"Label", make<Label>},
    {"Text", make<Label>},
    {"Button", make<Button>},
    {"Option", make<Option>},
    {"CheckBox", make<CheckBox>},
    {"List", make<List>},
    {"ListContainerElement", make<ListContainerElement>},
    {"Slider", make<Slider>},
    {"Progress", make<Progress>},
    {"Edit", make<Edit>},
    {"RichEdit", make<Edit>},
    {"ScrollBar", make<ScrollBar>},
};

// Elements of the Window element that describe the window rather than a control.
bool isWindowPart(std::string_view name) {
    return name == "Font" || name == "Image" || name == "Default" || name == "Style";
}

void addFont(const pugi::xml_node& node, int32_t fallbackId, PaintManager& manager) {
    FontSpec font;
    int32_t id = fallbackId;
    bool isDefault = false;
    for (const pugi::xml_attribute& a : node.attributes()) {
        const std::string_view name = a.name();
        const std::string_view value = a.value();
        bool b = false;
        if (name == "id") {
            parseInt(value, id);
        } else if (name == "name") {
            font.face = std::string(value);
        } else if (name == "size") {
            parseInt(value, font.size);
        } else if (name == "bold" && parseBool(value, b)) {
            font.bold = b;
        } else if (name == "underline" && parseBool(value, b)) {
            font.underline = b;
        } else if (name == "italic" && parseBool(value, b)) {
            font.italic = b;
        } else if (name == "default" && parseBool(value, b)) {
            isDefault = b;
        }
    }
    manager.AddFont(id, font, isDefault);
}

}  // namespace

std::unique_ptr<Control> DialogBuilder::CreateStockControl(std::string_view className) {
    for (const StockClass& stock : kStockClasses) {
        if (className == stock.name) {
            return stock.create();
        }
    }
    return nullptr;
}

std::unique_ptr<Control> DialogBuilder::Create(uint32_t layoutId, const char* type,
                                               IDialogBuilderCallback* callback,
                                               PaintManager* manager) {
    const ResourceBytes bytes = findResource(layoutId, type);
    if (bytes.empty()) {
        SC_LOG("DialogBuilder", "No layout resource %u of type %s", layoutId, type);
        return nullptr;
    }
    return CreateFromText(std::string_view(reinterpret_cast<const char*>(bytes.data), bytes.size),
                          callback, manager);
}

std::unique_ptr<Control> DialogBuilder::CreateFromText(std::string_view xml,
                                                       IDialogBuilderCallback* callback,
                                                       PaintManager* manager) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        SC_LOG("DialogBuilder", "Layout is not well-formed XML: %s at offset %ld",
               parsed.description(), static_cast<long>(parsed.offset));
        return nullptr;
    }
    callback_ = callback;
    const pugi::xml_node top = document.document_element();
    if (std::strcmp(top.name(), "Window") != 0) {
        // A layout without a Window element is one control tree.
        return Build(top);
    }
    if (manager != nullptr) {
        for (const pugi::xml_attribute& a : top.attributes()) {
            manager->SetWindowAttribute(a.name(), a.value());
        }
    }
    int32_t fontCount = 0;
    std::unique_ptr<Control> root;
    for (const pugi::xml_node& child : top.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const std::string_view name = child.name();
        if (name == "Font") {
            if (manager != nullptr) {
                addFont(child, fontCount, *manager);
            }
            ++fontCount;
        } else if (!isWindowPart(name) && root == nullptr) {
            root = Build(child);
        }
    }
    return root;
}

std::unique_ptr<Control> DialogBuilder::Build(const pugi::xml_node& node) {
    const std::string_view className = node.name();
    std::unique_ptr<Control> control = CreateStockControl(className);
    if (control == nullptr && callback_ != nullptr) {
        control.reset(callback_->CreateControl(className));
    }
    if (control == nullptr) {
        SC_LOG("DialogBuilder", "Unknown control class %s skipped with its children", node.name());
        return nullptr;
    }
    for (const pugi::xml_attribute& a : node.attributes()) {
        control->SetAttribute(a.name(), a.value());
    }
    auto* container = static_cast<Container*>(control->GetInterface("Container"));
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        if (container == nullptr) {
            SC_LOG("DialogBuilder", "%s holds no controls; its %s is skipped", node.name(),
                   child.name());
            continue;
        }
        if (std::unique_ptr<Control> built = Build(child)) {
            container->Add(std::move(built));
        }
    }
    return control;
}

}  // namespace ui
