// The window framework's own costs, on whatever display DISPLAY names:
//   --idle SECONDS    one 384x96 window shown and left alone; prints the process's CPU
//                     seconds over that time (the loop must sleep, not poll);
//   --repaint FRAMES  a full-screen window with a 200x200 square moving across it, repainted
//                     and shown frame by frame; prints wall and CPU milliseconds per frame for
//                     the framework and for the floor (the same square filled and shown with
//                     bare SDL calls), and their ratio;
//   --overlay SECONDS the custom-area overlay: milliseconds from the request to the overlay
//                     shown (screenshot taken and painted), against the floor of grabbing the
//                     same screen and showing it in a bare SDL window; then the process's CPU
//                     over SECONDS with the overlay shown and its magnifier running (the
//                     caller moves the pointer meanwhile).
#include <SDL2/SDL.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/MessageLoop.h"
#include "platform/Screen.h"
#include "ui/core/Control.h"
#include "ui/window/WindowImplBase.h"
#include "views/Detection.h"
#include "views/ViewMessages.h"

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class BenchWindow : public ui::WindowImplBase {
public:
    explicit BenchWindow(std::string layout) : layout_(std::move(layout)) {}
    std::string GetWindowClassName() const override { return "Bench"; }
    uint32_t GetLayoutId() const override { return 0; }
    std::string GetLayoutText() const override { return layout_; }

private:
    std::string layout_;
};

const char* const kToolbar = R"(
<Window size="384,96" caption="0,0,0,32">
  <Font id="0" name="Arial" size="12" default="true"/>
  <VerticalLayout bkcolor="#FFFFFFFF" bordersize="1" bordercolor="#FFCDCDCD">
    <HorizontalLayout height="32" inset="12,5,8,5" childpadding="2">
      <Label name="timer" width="316" text="00:00:00"/>
      <Button name="minbtn" width="22" height="22" hotbkcolor="#AAF2F2F2"/>
      <Button name="closebtn" width="22" height="22" hotbkcolor="#AAF2F2F2"/>
    </HorizontalLayout>
    <HorizontalLayout>
      <Button name="a" width="64" height="64" hotbkcolor="#AAF2F2F2" text="a"/>
      <Button name="b" width="64" height="64" hotbkcolor="#AAF2F2F2" text="b"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

int idle(int seconds) {
    BenchWindow window(kToolbar);
    if (!window.Create(0, L"bench", ui::WS_POPUP, ui::WS_EX_TOPMOST)) {
        std::fprintf(stderr, "ui_bench: no window: %s\n", SDL_GetError());
        return 1;
    }
    window.ShowWindow(true, true);
    platform::MessageLoop& loop = platform::MessageLoop::ui();
    // Let the window come up and paint before measuring.
    loop.setTimer(1, 1000, [&] { loop.quit(0); });
    loop.run();
    loop.killTimer(1);
    const double cpu0 = cpuSeconds();
    const double wall0 = wallSeconds();
    loop.setTimer(1, static_cast<uint32_t>(seconds) * 1000, [&] { loop.quit(0); });
    loop.run();
    loop.killTimer(1);
    const double cpu = cpuSeconds() - cpu0;
    const double wall = wallSeconds() - wall0;
    std::printf("idle_seconds %.1f\nidle_cpu_seconds %.3f\nidle_core_percent %.3f\n", wall, cpu,
                100.0 * cpu / wall);
    return 0;
}

int repaint(int frames) {
    const ::Rect desktop = ui::WindowBase::DesktopRect();
    const std::string layout = "<Window size=\"" + std::to_string(desktop.width()) + "," +
                               std::to_string(desktop.height()) +
                               "\"><Container bkcolor=\"#FF203040\">"
                               "<Control name=\"square\" float=\"true\" pos=\"0,0,200,200\" "
                               "bkcolor=\"#FFFF5722\" bordersize=\"4\" bordercolor=\"#FF000000\"/>"
                               "</Container></Window>";
    BenchWindow window(layout);
    if (!window.Create(0, L"bench", ui::WS_POPUP, 0, 0, 0)) {
        std::fprintf(stderr, "ui_bench: no window: %s\n", SDL_GetError());
        return 1;
    }
    window.ShowWindow(true, true);
    window.UpdateWindow();
    ui::Control* square = window.GetPaintManager().FindControl("square");
    const int w = desktop.width() - 200;
    const int h = desktop.height() - 200;
    const auto at = [&](int i) { return ::Point{(i * 7) % w, (i * 5) % h}; };

    double cpu0 = cpuSeconds();
    double wall0 = wallSeconds();
    for (int i = 1; i <= frames; ++i) {
        const ::Point p = at(i);
        square->SetPos({p.x, p.y, p.x + 200, p.y + 200});
        window.UpdateWindow();
    }
    const double oursCpu = (cpuSeconds() - cpu0) * 1000 / frames;
    const double oursWall = (wallSeconds() - wall0) * 1000 / frames;
    // The figures count only if the square really was drawn where it went last.
    const ::Point last = at(frames);
    if (window.GetCanvas().pixel(last.x + 100, last.y + 100) != 0xFFFF5722u) {
        std::fprintf(stderr, "ui_bench: the square is not where it was moved\n");
        return 1;
    }

    // The floor: the same two rects (old and new place) filled and shown with SDL alone.
    SDL_Window* bare = SDL_CreateWindow("bench floor", 0, 0, desktop.width(), desktop.height(),
                                        SDL_WINDOW_BORDERLESS);
    SDL_Surface* surface = SDL_GetWindowSurface(bare);
    SDL_FillRect(surface, nullptr, 0x203040);
    SDL_UpdateWindowSurface(bare);
    cpu0 = cpuSeconds();
    wall0 = wallSeconds();
    for (int i = 1; i <= frames; ++i) {
        const ::Point old = at(i - 1);
        const ::Point p = at(i);
        SDL_Rect rects[2] = {{old.x, old.y, 200, 200}, {p.x, p.y, 200, 200}};
        SDL_FillRect(surface, &rects[0], 0x203040);
        SDL_FillRect(surface, &rects[1], 0xFF5722);
        SDL_UpdateWindowSurfaceRects(bare, rects, 2);
    }
    const double floorCpu = (cpuSeconds() - cpu0) * 1000 / frames;
    const double floorWall = (wallSeconds() - wall0) * 1000 / frames;
    SDL_DestroyWindow(bare);
    std::printf("repaint_frames %d\nrepaint_size %dx%d\n", frames, desktop.width(),
                desktop.height());
    std::printf("ours_ms_per_frame wall %.3f cpu %.3f\n", oursWall, oursCpu);
    std::printf("floor_ms_per_frame wall %.3f cpu %.3f\n", floorWall, floorCpu);
    std::printf("ratio_wall %.2f\n", oursWall / floorWall);
    return 0;
}

int overlay(int seconds) {
    auto cursorScreen = std::make_shared<std::unique_ptr<platform::Screen>>();
    Detection detection(platform::Screen::open(), [cursorScreen](::Point& at) {
        if (*cursorScreen == nullptr) {
            *cursorScreen = platform::Screen::open(false);
        }
        return *cursorScreen != nullptr && (*cursorScreen)->cursorPosition(at);
    });
    if (!detection.Create(0, L"detection", ui::WS_POPUP, ui::WS_EX_TOOLWINDOW)) {
        std::fprintf(stderr, "ui_bench: no overlay: %s\n", SDL_GetError());
        return 1;
    }
    detection.ShowWindow(false);
    platform::MessageLoop& loop = platform::MessageLoop::ui();
    const auto settle = [&](uint32_t ms) {
        loop.setTimer(1, ms, [&] { loop.quit(0); });
        loop.run();
        loop.killTimer(1);
    };
    settle(500);
    // Best of five: the first show also pays for the fonts and the mask.
    double ours = 1e9;
    for (int i = 0; i < 5; ++i) {
        detection.SendMessage(WM_VIEW_HIDE);
        settle(200);
        const double wall0 = wallSeconds();
        detection.SendMessage(WM_VIEW_SHOW);
        detection.UpdateWindow();
        ours = std::min(ours, (wallSeconds() - wall0) * 1000);
    }

    const ::Rect desktop = ui::WindowBase::DesktopRect();
    std::unique_ptr<platform::Screen> screen = platform::Screen::open();
    SDL_Window* bare = SDL_CreateWindow("bench floor", 0, 0, desktop.width(), desktop.height(),
                                        SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    double floor = 1e9;
    for (int i = 0; i < 5 && screen != nullptr && bare != nullptr; ++i) {
        SDL_HideWindow(bare);
        const double wall0 = wallSeconds();
        SDL_ShowWindow(bare);
        SDL_Surface* surface = SDL_GetWindowSurface(bare);
        if (surface == nullptr || surface->pitch != desktop.width() * 4 ||
            !screen->grab(desktop, static_cast<uint8_t*>(surface->pixels))) {
            std::fprintf(stderr, "ui_bench: no floor grab\n");
            return 1;
        }
        SDL_UpdateWindowSurface(bare);
        floor = std::min(floor, (wallSeconds() - wall0) * 1000);
    }
    if (bare != nullptr) {
        SDL_DestroyWindow(bare);
    }

    detection.SendMessage(WM_VIEW_SHOW);
    settle(500);
    const double cpu0 = cpuSeconds();
    const double wall0 = wallSeconds();
    settle(static_cast<uint32_t>(seconds) * 1000);
    const double cpu = cpuSeconds() - cpu0;
    const double wall = wallSeconds() - wall0;
    detection.SendMessage(WM_VIEW_HIDE);
    std::printf("overlay_show_ms %.1f\nfloor_show_ms %.1f\nratio_show %.2f\n", ours, floor,
                ours / floor);
    std::printf("overlay_magnifier_core_percent %.3f\n", 100.0 * cpu / wall);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--idle") == 0) {
        return idle(std::atoi(argv[2]));
    }
    if (argc == 3 && std::strcmp(argv[1], "--repaint") == 0) {
        return repaint(std::atoi(argv[2]));
    }
    if (argc == 3 && std::strcmp(argv[1], "--overlay") == 0) {
        return overlay(std::atoi(argv[2]));
    }
    std::fprintf(stderr, "usage: ui_bench --idle SECONDS | --repaint FRAMES | --overlay SECONDS\n");
    return 2;
}
