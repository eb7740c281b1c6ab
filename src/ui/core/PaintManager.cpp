#include "ui/core/PaintManager.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "base/Utf8.h"
#include "ui/core/Container.h"
#include "ui/render/Canvas.h"

namespace ui {
namespace {

Rect unionOf(const Rect& a, const Rect& b) {
    if (a.width() <= 0 || a.height() <= 0) {
        return b;
    }
    if (b.width() <= 0 || b.height() <= 0) {
        return a;
    }
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

Rect intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.right <= r.left || r.bottom <= r.top) {
        return {};
    }
    return r;
}

bool parseInts(std::string_view text, int32_t* out, int count) {
    std::string s(text);
    const char* p = s.c_str();
    for (int i = 0; i < count; ++i) {
        char* end = nullptr;
        const long v = std::strtol(p, &end, 10);
        if (end == p) {
            return false;
        }
        out[i] = static_cast<int32_t>(v);
        p = end;
        while (*p == ',' || *p == ' ') {
            ++p;
        }
    }
    return true;
}

uint32_t modifiersOf(WPARAM wParam) {
    return static_cast<uint32_t>(wParam) &
           (kModShift | kModControl | kModAlt | kModLButton | kModLeftShift);
}

}  // namespace

PaintManager::PaintManager() = default;

PaintManager::~PaintManager() {
    // Controls of a dying tree must not reach back into a half-destroyed manager.
    if (host_ != nullptr) {
        for (const auto& t : timers_) {
            host_->HostKillTimer(t.hostId);
        }
        host_->HostKillTimer(kToolTipTimer);
    }
    timers_.clear();
    focus_ = hot_ = captured_ = pushed_ = nullptr;
    root_.reset();
}

void PaintManager::Init(PaintHost* host) {
    host_ = host;
}

bool PaintManager::AttachDialog(std::unique_ptr<Control> root) {
    if (!root) {
        return false;
    }
    focus_ = hot_ = captured_ = pushed_ = nullptr;
    root_ = std::move(root);
    root_->SetManager(this, nullptr, true);
    NeedUpdate();
    return true;
}

Control* PaintManager::FindControl(std::string_view name) const {
    return root_ ? root_->FindControlByName(name) : nullptr;
}

Control* PaintManager::FindControl(Point point) const {
    return root_ ? root_->FindControlAt(point) : nullptr;
}

void PaintManager::SetWindowAttribute(std::string_view name, std::string_view value) {
    int32_t v[4] = {};
    if (name == "size" && parseInts(value, v, 2)) {
        attributes_.size = {v[0], v[1]};
    } else if (name == "caption" && parseInts(value, v, 4)) {
        attributes_.caption = {v[0], v[1], v[2], v[3]};
    } else if (name == "shadowimage") {
        attributes_.shadowImage = std::string(value);
    } else if (name == "shadowcorner" && parseInts(value, v, 4)) {
        attributes_.shadowCorner = {v[0], v[1], v[2], v[3]};
    } else if (name == "bktrans") {
        attributes_.bkTransparent = value == "true";
    } else if (name == "defaultfontcolor") {
        parseColor(value, attributes_.defaultTextColor);
    }
}

void PaintManager::SetClientSize(Size size) {
    if (size.cx == clientSize_.cx && size.cy == clientSize_.cy) {
        return;
    }
    clientSize_ = size;
    NeedUpdate();
}

void PaintManager::AddFont(int32_t index, const FontSpec& font, bool isDefault) {
    fonts_[index] = font;
    if (isDefault) {
        defaultFont_ = font;
    }
    Invalidate();
}

const FontSpec& PaintManager::GetFont(int32_t index) const {
    const auto it = fonts_.find(index);
    return it == fonts_.end() ? defaultFont_ : it->second;
}

void PaintManager::AddImage(const std::string& name, std::shared_ptr<const Bitmap> bitmap) {
    images_.addImage(name, std::move(bitmap));
    Invalidate();
}

void PaintManager::RemoveImage(const std::string& name) {
    images_.removeImage(name);
    Invalidate();
}

void PaintManager::SetFocus(Control* control) {
    if (control == focus_) {
        return;
    }
    if (control != nullptr && host_ != nullptr) {
        host_->HostFocus();
    }
    if (Control* old = focus_) {
        focus_ = nullptr;
        Event event;
        event.type = EventType::KillFocus;
        event.sender = control;
        event.mouse = lastMouse_;
        Dispatch(old, event);
        SendNotify(old, "killfocus");
    }
    if (control != nullptr && control->IsActive()) {
        focus_ = control;
        Event event;
        event.type = EventType::SetFocus;
        event.mouse = lastMouse_;
        Dispatch(control, event);
        SendNotify(control, "setfocus");
    }
}

void PaintManager::SetCapture(Control* control) {
    captured_ = control;
    if (host_ != nullptr) {
        host_->HostCaptureMouse(control != nullptr);
    }
}

void PaintManager::ReleaseCapture() {
    SetCapture(nullptr);
}

void PaintManager::ReapObject(Control* control) {
    if (control == nullptr) {
        return;
    }
    if (focus_ == control) {
        focus_ = nullptr;
    }
    if (hot_ == control) {
        hot_ = nullptr;
        if (!shownToolTip_.empty() && host_ != nullptr) {
            host_->HostHideToolTip();
        }
        shownToolTip_.clear();
    }
    if (captured_ == control) {
        ReleaseCapture();
    }
    if (pushed_ == control) {
        pushed_ = nullptr;
    }
    KillTimers(control);
}

void PaintManager::AddNotifier(INotify* notifier) {
    if (std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) {
        notifiers_.push_back(notifier);
    }
}

void PaintManager::RemoveNotifier(INotify* notifier) {
    notifiers_.erase(std::remove(notifiers_.begin(), notifiers_.end(), notifier), notifiers_.end());
}

void PaintManager::SendNotify(Control* sender, const std::string& type, WPARAM wParam,
                              LPARAM lParam) {
    Notification msg;
    msg.type = type;
    msg.sender = sender;
    msg.mouse = lastMouse_;
    msg.wParam = wParam;
    msg.lParam = lParam;
    // A notifier may add or remove notifiers (a window closing itself); walk a copy.
    const auto notifiers = notifiers_;
    for (INotify* n : notifiers) {
        if (std::find(notifiers_.begin(), notifiers_.end(), n) != notifiers_.end()) {
            n->Notify(msg);
        }
    }
}

void PaintManager::AddMessageFilter(IMessageFilter* filter) {
    if (std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) {
        filters_.push_back(filter);
    }
}

void PaintManager::RemoveMessageFilter(IMessageFilter* filter) {
    filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

bool PaintManager::SetTimer(Control* control, uint32_t id, uint32_t ms) {
    KillTimer(control, id);
    const uint32_t hostId = nextTimerId_++;
    timers_.push_back({control, id, hostId});
    if (host_ != nullptr) {
        host_->HostSetTimer(hostId, ms);
    }
    return true;
}

void PaintManager::KillTimer(Control* control, uint32_t id) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->control == control && it->id == id) {
            if (host_ != nullptr) {
                host_->HostKillTimer(it->hostId);
            }
            timers_.erase(it);
            return;
        }
    }
}

void PaintManager::KillTimers(Control* control) {
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->control == control) {
            if (host_ != nullptr) {
                host_->HostKillTimer(it->hostId);
            }
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

void PaintManager::Invalidate(const Rect& rect) {
    const Rect clipped = intersect(rect, {0, 0, clientSize_.cx, clientSize_.cy});
    if (clipped.width() <= 0) {
        return;
    }
    invalid_ = unionOf(invalid_, clipped);
    if (host_ != nullptr) {
        host_->HostInvalidate(clipped);
    }
}

void PaintManager::Invalidate() {
    Invalidate({0, 0, clientSize_.cx, clientSize_.cy});
}

void PaintManager::NeedUpdate() {
    needUpdate_ = true;
    Invalidate();
}

void PaintManager::Layout() {
    if (!needUpdate_) {
        return;
    }
    needUpdate_ = false;
    if (root_) {
        root_->SetPos({0, 0, clientSize_.cx, clientSize_.cy}, false);
    }
    invalid_ = {0, 0, clientSize_.cx, clientSize_.cy};
}

Rect PaintManager::Paint(Canvas& canvas) {
    Layout();
    if (canvas.width() != clientSize_.cx || canvas.height() != clientSize_.cy) {
        canvas.resize(clientSize_.cx, clientSize_.cy);
        invalid_ = {0, 0, clientSize_.cx, clientSize_.cy};
    }
    const Rect dirty = invalid_;
    invalid_ = {};
    if (dirty.width() <= 0 || dirty.height() <= 0 || !root_) {
        return {};
    }
    Canvas::ClipScope clip(canvas, dirty);
    // Windows that are see-through where nothing is drawn start from transparent pixels.
    canvas.clear(0);
    root_->DoPaint(canvas, dirty);
    return dirty;
}

void PaintManager::PaintAll(Canvas& canvas) {
    Invalidate();
    invalid_ = {0, 0, clientSize_.cx, clientSize_.cy};
    Paint(canvas);
}

namespace {

void describe(const Control* control, std::string& out) {
    // Named controls, and unnamed ones that show a text (list rows).
    if (!control->GetName().empty() || !control->GetText().empty()) {
        const Rect& r = control->GetPos();
        out += control->GetName() + '\t' + control->GetClass() + '\t' +
               (control->IsVisible() ? "visible" : "hidden") + '\t' +
               (control->IsEnabled() ? "enabled" : "disabled") + '\t' +
               std::to_string(r.left) + ',' + std::to_string(r.top) + ',' +
               std::to_string(r.right) + ',' + std::to_string(r.bottom) + '\t' +
               WideToUtf8(control->GetText()) + '\t' + control->DescribeImage() + '\n';
    }
    auto* container =
        static_cast<const Container*>(const_cast<Control*>(control)->GetInterface("Container"));
    if (container != nullptr) {
        for (int i = 0; i < container->GetCount(); ++i) {
            describe(container->GetItemAt(i), out);
        }
    }
}

}  // namespace

std::string PaintManager::Describe() const {
    std::string out;
    if (root_) {
        describe(root_.get(), out);
    }
    return out;
}

void PaintManager::Dispatch(Control* control, Event& event) {
    if (control == nullptr) {
        return;
    }
    if (event.sender == nullptr) {
        event.sender = control;
    }
    control->DoEvent(event);
}

void PaintManager::SetHot(Control* control, Point mouse) {
    if (control == hot_) {
        return;
    }
    if (Control* old = hot_) {
        hot_ = nullptr;
        Event leave;
        leave.type = EventType::MouseLeave;
        leave.mouse = mouse;
        Dispatch(old, leave);
    }
    if (!shownToolTip_.empty() && host_ != nullptr) {
        host_->HostHideToolTip();
    }
    shownToolTip_.clear();
    hot_ = control;
    if (control != nullptr) {
        Event enter;
        enter.type = EventType::MouseEnter;
        enter.mouse = mouse;
        Dispatch(control, enter);
    }
    if (host_ != nullptr) {
        host_->HostKillTimer(kToolTipTimer);
        if (hot_ != nullptr && !hot_->GetToolTip().empty()) {
            host_->HostSetTimer(kToolTipTimer, kToolTipDelayMs);
        }
    }
}

bool PaintManager::HandleMouse(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    const Point mouse{XFromLParam(lParam), YFromLParam(lParam)};
    lastMouse_ = mouse;
    Layout();
    Event event;
    event.mouse = mouse;
    event.modifiers = modifiersOf(wParam);
    event.wParam = wParam;
    event.lParam = lParam;

    if (msg == WM_MOUSELEAVE) {
        mouseInside_ = false;
        if (captured_ == nullptr) {
            SetHot(nullptr, mouse);
        }
        return true;
    }
    mouseInside_ = true;
    Control* under = FindControl(mouse);
    if (under != nullptr && !under->IsEnabled()) {
        under = nullptr;
    }

    switch (msg) {
        case WM_MOUSEMOVE: {
            // While a button is held, the pressed control keeps the mouse.
            if (captured_ == nullptr) {
                SetHot(under, mouse);
            }
            Control* target = captured_ != nullptr ? captured_ : hot_;
            if (target != nullptr) {
                event.type = EventType::MouseMove;
                Dispatch(target, event);
            }
            return true;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN: {
            SetHot(under, mouse);
            if (under == nullptr) {
                return true;
            }
            if (msg != WM_RBUTTONDOWN) {
                // Clicking elsewhere takes the focus from a focused text field.
                if (focus_ != nullptr && focus_ != under) {
                    SetFocus(nullptr);
                }
                pushed_ = under;
                SetCapture(under);
            }
            event.type = msg == WM_LBUTTONDOWN     ? EventType::ButtonDown
                         : msg == WM_LBUTTONDBLCLK ? EventType::DoubleClick
                                                   : EventType::RightButtonDown;
            Dispatch(under, event);
            return true;
        }
        case WM_LBUTTONUP: {
            Control* target = captured_ != nullptr ? captured_ : under;
            pushed_ = nullptr;
            ReleaseCapture();
            if (target != nullptr) {
                event.type = EventType::ButtonUp;
                Dispatch(target, event);
            }
            // The pointer may have left the pressed control while it was held.
            SetHot(FindControl(mouse), mouse);
            return true;
        }
        case WM_RBUTTONUP:
            if (under != nullptr) {
                event.type = EventType::RightButtonUp;
                Dispatch(under, event);
            }
            return true;
        case WM_MOUSEWHEEL:
            if (under != nullptr) {
                event.type = EventType::ScrollWheel;
                // wParam 0 scrolls up, 1 down, as the scrolling controls expect.
                event.wParam = static_cast<int16_t>((wParam >> 16) & 0xFFFF) > 0 ? 0 : 1;
                Dispatch(under, event);
            }
            return true;
        default:
            return false;
    }
}

void PaintManager::HandleKey(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    if (focus_ == nullptr) {
        return;
    }
    Event event;
    event.type = msg == WM_KEYDOWN ? EventType::KeyDown
                 : msg == WM_KEYUP ? EventType::KeyUp
                                   : EventType::Char;
    event.key = static_cast<uint32_t>(wParam);
    event.mouse = lastMouse_;
    event.lParam = lParam;
    Dispatch(focus_, event);
}

bool PaintManager::MessageHandler(uint32_t msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    // Filters first: a control that takes key messages itself (the hotkey field) sees them
    // before the focused control does.
    const auto filters = filters_;
    for (IMessageFilter* f : filters) {
        bool handled = false;
        const LRESULT r = f->MessageHandler(msg, wParam, lParam, handled);
        if (handled) {
            result = r;
            return true;
        }
    }
    switch (msg) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MOUSEWHEEL:
        case WM_MOUSELEAVE:
            return HandleMouse(msg, wParam, lParam);
        case WM_SETCURSOR: {
            Control* under = captured_ != nullptr ? captured_ : FindControl(lastMouse_);
            if (under != nullptr && (under->GetControlFlags() & UIFLAG_SETCURSOR) != 0 &&
                under->IsEnabled()) {
                Event event;
                event.type = EventType::SetCursor;
                event.mouse = lastMouse_;
                Dispatch(under, event);
            } else if (host_ != nullptr) {
                host_->HostSetCursor(Cursor::Arrow);
            }
            result = 1;
            return true;
        }
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
            HandleKey(msg, wParam, lParam);
            return false;
        case WM_KILLFOCUS:
            // The window lost the keyboard: a held button is let go, a tooltip goes.
            if (captured_ != nullptr) {
                ReleaseCapture();
            }
            pushed_ = nullptr;
            if (!shownToolTip_.empty() && host_ != nullptr) {
                host_->HostHideToolTip();
            }
            shownToolTip_.clear();
            return false;
        case WM_TIMER: {
            const auto id = static_cast<uint32_t>(wParam);
            if (id == kToolTipTimer) {
                if (host_ != nullptr) {
                    host_->HostKillTimer(kToolTipTimer);
                }
                if (hot_ != nullptr && !hot_->GetToolTip().empty() && mouseInside_) {
                    shownToolTip_ = hot_->GetToolTip();
                    if (host_ != nullptr) {
                        host_->HostShowToolTip(shownToolTip_, lastMouse_);
                    }
                }
                return true;
            }
            for (const auto& t : timers_) {
                if (t.hostId == id) {
                    Event event;
                    event.type = EventType::Timer;
                    event.wParam = t.id;
                    event.mouse = lastMouse_;
                    Control* target = t.control;
                    Dispatch(target, event);
                    return true;
                }
            }
            return false;
        }
        default:
            return false;
    }
}

}  // namespace ui
