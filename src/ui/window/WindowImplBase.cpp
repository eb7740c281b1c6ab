#include "ui/window/WindowImplBase.h"

#include <string>

#include "platform/WindowSystem.h"
#include "ui/layout/DialogBuilder.h"
#include "ui/window/ToolTipWindow.h"

namespace ui {
namespace {

constexpr LRESULT HTCAPTION = 2;
constexpr int32_t kToolTipOffset = 16;  // below the pointer, clear of its arrow

// Controls the user works with keep their clicks inside the caption band.
bool takesClicks(Control* control) {
    for (const char* kind : {"Button", "Edit", "Slider", "List", "ScrollBar"}) {
        if (control->GetInterface(kind) != nullptr) {
            return true;
        }
    }
    return false;
}

}  // namespace

WindowImplBase::WindowImplBase() {
    pm_.Init(this);
}

WindowImplBase::~WindowImplBase() = default;

LRESULT WindowImplBase::HandleCustomMessage(uint32_t msg, WPARAM wParam, LPARAM lParam,
                                            bool& handled) {
    (void)msg;
    (void)wParam;
    (void)lParam;
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnClose(uint32_t msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    (void)msg;
    (void)wParam;
    (void)lParam;
    handled = false;
    return 0;
}

void WindowImplBase::Notify(Notification& msg) {
    if (msg.type != "click" || msg.sender == nullptr) {
        return;
    }
    const std::string& name = msg.sender->GetName();
    if (name == "minbtn") {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
    } else if (name == "closebtn") {
        Close(IDOK);
    }
}

Control* WindowImplBase::CreateControl(std::string_view className) {
    (void)className;
    return nullptr;
}

LRESULT WindowImplBase::OnCreate(uint32_t msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    (void)msg;
    (void)wParam;
    (void)lParam;
    handled = true;
    DialogBuilder builder;
    const std::string text = GetLayoutText();
    std::unique_ptr<Control> root =
        text.empty() ? builder.Create(GetLayoutId(), GetResourceType(), this, &pm_)
                     : builder.CreateFromText(text, this, &pm_);
    if (!root) {
        return -1;
    }
    pm_.AttachDialog(std::move(root));
    pm_.AddNotifier(this);
    const Size size = pm_.GetWindowAttributes().size;
    if (size.cx > 0 && size.cy > 0) {
        SetClientSize(size);
    }
    pm_.SetClientSize(GetClientSize());
    // A drop shadow needs a compositor to blend it with what lies beneath; without one it
    // would be an opaque band, so it is left out.
    const WindowAttributes& attributes = pm_.GetWindowAttributes();
    if (!IsOffscreen() && !attributes.shadowImage.empty() &&
        platform::WindowSystem::instance().hasCompositor()) {
        SetFrameMargins(attributes.shadowCorner);
    }
    InitWindow();
    return 0;
}

LRESULT WindowImplBase::HandleMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    bool handled = false;
    LRESULT result = 0;
    switch (msg) {
        case WM_CREATE:
            result = OnCreate(msg, wParam, lParam, handled);
            break;
        case WM_CLOSE:
            result = OnClose(msg, wParam, lParam, handled);
            break;
        case WM_SIZE:
            pm_.SetClientSize({XFromLParam(lParam), YFromLParam(lParam)});
            break;
        case WM_NCHITTEST:
            return CaptionHitTest(lParam);
        case WM_DESTROY:
            HostHideToolTip();
            break;
        default:
            break;
    }
    if (handled) {
        return result;
    }
    result = HandleCustomMessage(msg, wParam, lParam, handled);
    if (handled) {
        return result;
    }
    if (pm_.MessageHandler(msg, wParam, lParam, result)) {
        return result;
    }
    return WindowBase::HandleMessage(msg, wParam, lParam);
}

LRESULT WindowImplBase::CaptionHitTest(LPARAM lParam) {
    const Rect caption = pm_.GetWindowAttributes().caption;
    if (caption.bottom <= 0) {
        return HTCLIENT;
    }
    const Rect window = GetWindowRect();
    const Point p{XFromLParam(lParam) - window.left, YFromLParam(lParam) - window.top};
    const Size client = GetClientSize();
    const bool inBand = p.x >= caption.left && p.x < client.cx - caption.right &&
                        p.y >= caption.top && p.y < caption.bottom;
    if (!inBand) {
        return HTCLIENT;
    }
    Control* under = pm_.FindControl(p);
    return under != nullptr && takesClicks(under) ? HTCLIENT : HTCAPTION;
}

void WindowImplBase::RenderTo(Canvas& canvas) {
    pm_.PaintAll(canvas);
}

Rect WindowImplBase::OnPaint(Canvas& canvas) {
    const Rect m = GetFrameMargins();
    if (m.left == 0 && m.top == 0 && m.right == 0 && m.bottom == 0) {
        return pm_.Paint(canvas);
    }
    const Rect painted = pm_.Paint(content_);
    if (painted.width() <= 0 || painted.height() <= 0) {
        return {};
    }
    // The shadow image stretched around the content, its corners as wide as the margins.
    const Size client = GetClientSize();
    const Rect whole{0, 0, client.cx + m.left + m.right, client.cy + m.top + m.bottom};
    canvas.resize(whole.right, whole.bottom);
    canvas.clear(0);
    const std::string shadow = pm_.GetWindowAttributes().shadowImage + " corner='" +
                               std::to_string(m.left) + "," + std::to_string(m.top) + "," +
                               std::to_string(m.right) + "," + std::to_string(m.bottom) +
                               "' hole='true'";
    pm_.GetImages().draw(canvas, whole, shadow);
    canvas.blit(content_, {m.left, m.top});
    return whole;
}

bool WindowImplBase::IsBackgroundTransparent() const {
    return pm_.GetWindowAttributes().bkTransparent;
}

void WindowImplBase::HostInvalidate(const Rect& rect) {
    InvalidateRect(rect);
}

void WindowImplBase::HostSetTimer(uint32_t id, uint32_t ms) {
    SetTimer(id, ms);
}

void WindowImplBase::HostKillTimer(uint32_t id) {
    KillTimer(id);
}

void WindowImplBase::HostSetCursor(Cursor cursor) {
    SetCursor(cursor);
}

void WindowImplBase::HostCaptureMouse(bool capture) {
    CaptureMouse(capture);
}

void WindowImplBase::HostShowToolTip(const std::wstring& text, Point clientPoint) {
    if (IsOffscreen()) {
        return;
    }
    if (!toolTip_) {
        toolTip_ = std::make_unique<ToolTipWindow>();
    }
    const Rect window = GetWindowRect();
    toolTip_->Show(text,
                   {window.left + clientPoint.x, window.top + clientPoint.y + kToolTipOffset});
}

void WindowImplBase::HostHideToolTip() {
    if (toolTip_) {
        toolTip_->Hide();
    }
}

void WindowImplBase::HostFocus() {
    if (!IsOffscreen() && IsWindowVisible() && !HasFocus()) {
        ShowWindow(true, true);
    }
}

}  // namespace ui
