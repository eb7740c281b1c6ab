// The hotkey field, built by the views' factory in an off-screen paint manager. (The check
// button is tested in the audio popup.)

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
#include "views/controls/HotKeyInput.h"

namespace {

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

// The layout built with the factory into an off-screen paint manager, laid out.
class HotKeyInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::DialogBuilder builder;
        pm.AttachDialog(builder.CreateFromText(kHotkeyLayout, &factory, &pm));
        pm.SetClientSize({200, 60});
        ui::Canvas canvas(0, 0);
        pm.PaintAll(canvas);
        field = static_cast<HotKeyInput*>(pm.FindControl("endKey"));
        ASSERT_NE(field, nullptr);
    }
    void TearDown() override { log.clear(); }
    // True when the paint manager took the message, false when it goes on to the window.
    bool send(uint32_t msg, ui::WPARAM wParam) {
        ui::LRESULT unused = 0;
        return pm.MessageHandler(msg, wParam, 0, unused);
    }

    viewstest::ActionLog& log = viewstest::ActionLog::fresh();
    CDialogBuilderCallbackEx factory;
    ui::PaintManager pm;
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
    pm.SetFocus(field);
    ASSERT_TRUE(field->IsFocused());
    for (const Case& c : cases) {
        log.hotkeys.clear();
        HeldKeys held(c.held);
        EXPECT_TRUE(send(ui::WM_KEYDOWN, c.vk)) << c.code << ": the key went on to the window";
        ASSERT_EQ(log.hotkeys.size(), 1u) << c.code;
        EXPECT_EQ(log.hotkeys[0].action, 2);
        EXPECT_EQ(log.hotkeys[0].keycode, c.code);
    }
}

TEST_F(HotKeyInputTest, NothingIsSentWithoutTheFocusAndTypingInsertsNothing) {
    pm.SetFocus(pm.FindControl("other"));
    EXPECT_FALSE(send(ui::WM_KEYDOWN, 0x77)) << "the key must go on to the window";
    pm.SetFocus(nullptr);
    EXPECT_FALSE(send(ui::WM_KEYDOWN, 0x77));
    pm.SetFocus(field);
    EXPECT_FALSE(send(ui::WM_KEYUP, 0x77));
    EXPECT_TRUE(log.hotkeys.empty());
    send(ui::WM_KEYDOWN, 'A');
    send(ui::WM_CHAR, 'a');
    EXPECT_EQ(field->GetText(), L"");
    // The Store answers while the action is being sent, and its window shows the key's name;
    // the Backspace that was pressed must not take a letter off that name.
    log.onHotkey = [this] { field->SetText(L"Backspace"); };
    send(ui::WM_KEYDOWN, ui::Edit::kBackspace);
    EXPECT_EQ(field->GetText(), L"Backspace");
    ASSERT_EQ(log.hotkeys.size(), 2u);
    EXPECT_EQ(log.hotkeys[1].keycode, "000008");
}

}  // namespace
