// The views' own controls, built by the views' factory in an off-screen paint manager.

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ViewsTestSupport.h"
#include "ui/core/PaintManager.h"
#include "ui/layout/DialogBuilder.h"
#include "ui/render/Canvas.h"
#include "views/controls/CDialogBuilderCallbackEx.h"
#include "views/controls/CheckBoxButton.h"
#include "views/controls/HotKeyInput.h"

namespace {

using ui::MakeLParam;

// The check button's state as each click arrives.
class Notes : public ui::INotify {
public:
    void Notify(ui::Notification& msg) override {
        if (msg.type == "click") {
            auto* button = static_cast<CheckBoxButton*>(msg.sender->GetInterface("CheckBoxButton"));
            checkedAtClick.push_back(button != nullptr && button->checked);
        }
    }
    std::vector<bool> checkedAtClick;
};

// A layout built with the factory into an off-screen paint manager, laid out.
class Built {
public:
    explicit Built(const char* xml) {
        ui::DialogBuilder builder;
        pm.AttachDialog(builder.CreateFromText(xml, &factory, &pm));
        pm.SetClientSize({200, 60});
        pm.AddNotifier(&notes);
        ui::Canvas canvas(0, 0);
        pm.PaintAll(canvas);
    }
    bool send(uint32_t msg, ui::WPARAM wParam = 0, ui::LPARAM lParam = 0) {
        ui::LRESULT unused = 0;
        return pm.MessageHandler(msg, wParam, lParam, unused);
    }

    CDialogBuilderCallbackEx factory;
    ui::PaintManager pm;
    Notes notes;
};

constexpr const char* kCheckLayout = R"(<Window size="200,60">
  <HorizontalLayout>
    <CheckBoxButton name="mic" width="64" height="60"/>
    <Control/>
  </HorizontalLayout>
</Window>)";

TEST(CheckBoxButtonTest, ThePressFlipsTheStateTheClickComesOnlyOnAReleaseInside) {
    Built ui(kCheckLayout);
    auto* mic = static_cast<CheckBoxButton*>(ui.pm.FindControl("mic"));
    ASSERT_NE(mic, nullptr);
    mic->checkedImage = "res='165'";
    // Pressed, then released outside: the state (and the look) has flipped, no click.
    ui.send(ui::WM_LBUTTONDOWN, 0, MakeLParam(20, 20));
    EXPECT_TRUE(mic->checked);
    EXPECT_EQ(mic->GetBkImage(), "res='165'");
    ui.send(ui::WM_MOUSEMOVE, 0, MakeLParam(150, 20));
    ui.send(ui::WM_LBUTTONUP, 0, MakeLParam(150, 20));
    EXPECT_TRUE(mic->checked);
    EXPECT_TRUE(ui.notes.checkedAtClick.empty());

    // Pressed and released inside: flipped back, and the click reports the new state.
    ui.send(ui::WM_LBUTTONDOWN, 0, MakeLParam(20, 20));
    ui.send(ui::WM_LBUTTONUP, 0, MakeLParam(20, 20));
    EXPECT_FALSE(mic->checked);
    EXPECT_EQ(ui.notes.checkedAtClick, std::vector<bool>{false});

    // Disabled, it keeps its state.
    mic->SetEnabled(false);
    ui.send(ui::WM_LBUTTONDOWN, 0, MakeLParam(20, 20));
    ui.send(ui::WM_LBUTTONUP, 0, MakeLParam(20, 20));
    EXPECT_FALSE(mic->checked);
}

// The modifier keys as the system reports them, for one test.
class HeldKeys {
public:
    explicit HeldKeys(SDL_Keymod keys) { SDL_SetModState(keys); }
    ~HeldKeys() { SDL_SetModState(KMOD_NONE); }
};

constexpr const char* kHotkeyLayout = R"(<Window size="200,60">
  <HorizontalLayout>
    <HotKeyInput name="endKey" width="120" userdata="2"/>
    <Button name="other" width="40"/>
  </HorizontalLayout>
</Window>)";

class HotKeyInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        field = static_cast<HotKeyInput*>(ui.pm.FindControl("endKey"));
        ASSERT_NE(field, nullptr);
    }
    void TearDown() override { log.clear(); }

    viewstest::ActionLog& log = viewstest::ActionLog::fresh();
    Built ui{kHotkeyLayout};
    HotKeyInput* field = nullptr;
};

TEST_F(HotKeyInputTest, EveryKeyDownInFocusSendsItsCodeBareModifiersIncluded) {
    struct Case {
        SDL_Keymod held;
        uint32_t vk;
        const char* code;
    };
    const Case cases[] = {
        {static_cast<SDL_Keymod>(KMOD_LCTRL | KMOD_LSHIFT), 0x77, "110119"},
        {KMOD_RSHIFT, 0x77, "000119"},  // only the left Shift counts
        {static_cast<SDL_Keymod>(KMOD_RCTRL | KMOD_LALT), 'A', "101065"},
        {KMOD_LCTRL, 0x11, "100000"},   // Ctrl alone
        {KMOD_LSHIFT, 0x10, "010000"},  // left Shift alone
        {KMOD_NONE, 0x12, "000000"},    // Alt's key, nothing held
    };
    ui.pm.SetFocus(field);
    ASSERT_TRUE(field->IsFocused());
    for (const Case& c : cases) {
        log.hotkeys.clear();
        HeldKeys held(c.held);
        EXPECT_TRUE(ui.send(ui::WM_KEYDOWN, c.vk)) << c.code << ": the key went on to the window";
        ASSERT_EQ(log.hotkeys.size(), 1u) << c.code;
        EXPECT_EQ(log.hotkeys[0].action, 2);
        EXPECT_EQ(log.hotkeys[0].keycode, c.code);
    }
}

TEST_F(HotKeyInputTest, NothingIsSentWithoutTheFocusAndTypingInsertsNothing) {
    ui.pm.SetFocus(ui.pm.FindControl("other"));
    EXPECT_FALSE(ui.send(ui::WM_KEYDOWN, 0x77)) << "the key must go on to the window";
    ui.pm.SetFocus(nullptr);
    EXPECT_FALSE(ui.send(ui::WM_KEYDOWN, 0x77));
    ui.pm.SetFocus(field);
    EXPECT_FALSE(ui.send(ui::WM_KEYUP, 0x77));
    EXPECT_TRUE(log.hotkeys.empty());
    ui.send(ui::WM_KEYDOWN, 'A');
    ui.send(ui::WM_CHAR, 'a');
    EXPECT_EQ(field->GetText(), L"");
    // The Store answers while the action is being sent, and its window shows the key's name;
    // the Backspace that was pressed must not take a letter off that name.
    log.onHotkey = [this] { field->SetText(L"Backspace"); };
    ui.send(ui::WM_KEYDOWN, ui::Edit::kBackspace);
    EXPECT_EQ(field->GetText(), L"Backspace");
    ASSERT_EQ(log.hotkeys.size(), 2u);
    EXPECT_EQ(log.hotkeys[1].keycode, "000008");
}

}  // namespace
