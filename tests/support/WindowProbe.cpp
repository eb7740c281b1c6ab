#include "WindowProbe.h"

#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include "Await.h"
#include "ChildProcess.h"

namespace testsupport {
namespace {

// xprop shows a string property as "NAME = "..."" with C escapes (\t, \n, \", \\).
std::string unescape(const std::string& quoted) {
    std::string out;
    for (size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == '\\' && i + 1 < quoted.size()) {
            const char c = quoted[++i];
            out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
        } else {
            out += quoted[i];
        }
    }
    return out;
}

std::vector<std::string> split(const std::string& s, char by) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, by)) {
        parts.push_back(part);
    }
    return parts;
}

}  // namespace

bool xdo(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    int status = -1;
    runAndCapture(args, &status);
    return status == 0;
}

bool movePointer(Point to) {
    return xdo({"mousemove", "--sync", std::to_string(to.x), std::to_string(to.y)});
}

std::string screenPixels(const Rect& r) {
    return runAndCapture({"ffmpeg", "-v", "error", "-f", "x11grab", "-video_size",
                          std::to_string(r.width()) + "x" + std::to_string(r.height()), "-i",
                          std::string(std::getenv("DISPLAY")) + "+" + std::to_string(r.left) + "," +
                              std::to_string(r.top),
                          "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
}

WindowProbe WindowProbe::find(const std::string& title, std::chrono::milliseconds deadline) {
    // By the UTF-8 title (_NET_WM_NAME, what window managers show): a search by name would
    // match the legacy WM_NAME, which SDL fills with a Latin-1 rendering of other scripts.
    unsigned long id = 0;
    waitFor(
        [&] {
            std::istringstream visible(
                runAndCapture({"xdotool", "search", "--onlyvisible", "--name", ""}));
            std::string window;
            while (visible >> window) {
                std::string name = runAndCapture({"xdotool", "getwindowname", window});
                if (!name.empty() && name.back() == '\n') {
                    name.pop_back();
                }
                if (name == title) {
                    id = std::strtoul(window.c_str(), nullptr, 10);
                    return true;
                }
            }
            return false;
        },
        deadline, "a window titled " + title);
    return WindowProbe(id);
}

bool WindowProbe::exists() const {
    return xdo({"getwindowname", std::to_string(id_)});
}

bool WindowProbe::viewable() const {
    return runAndCapture({"xwininfo", "-id", std::to_string(id_)}).find("IsViewable") !=
           std::string::npos;
}

Rect WindowProbe::geometry() const {
    // As the X server has it: xdotool adds a reparented window's offset in its frame once more.
    const std::string info = runAndCapture({"xwininfo", "-id", std::to_string(id_)});
    const auto value = [&](const std::string& key) {
        const auto at = info.find(key);
        return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + key.size());
    };
    const int x = value("Absolute upper-left X:");
    const int y = value("Absolute upper-left Y:");
    return {x, y, x + value("Width:"), y + value("Height:")};
}

bool WindowProbe::iconic() const {
    return runAndCapture({"xprop", "-id", std::to_string(id_), "WM_STATE"}).find("Iconic") !=
           std::string::npos;
}

std::map<std::string, ControlView> WindowProbe::controls() const {
    const std::string out =
        runAndCapture({"xprop", "-id", std::to_string(id_), "-notype", "_SC_CONTROL_TREE"});
    const auto open = out.find('"');
    const auto close = out.rfind('"');
    std::map<std::string, ControlView> controls;
    if (open == std::string::npos || close <= open) {
        return controls;
    }
    for (const std::string& line : split(unescape(out.substr(open + 1, close - open - 1)), '\n')) {
        const std::vector<std::string> f = split(line, '\t');
        if (f.size() < 6) {
            continue;
        }
        ControlView view;
        view.className = f[1];
        view.visible = f[2] == "visible";
        view.enabled = f[3] == "enabled";
        const std::vector<std::string> r = split(f[4], ',');
        if (r.size() == 4) {
            view.rect = {std::atoi(r[0].c_str()), std::atoi(r[1].c_str()), std::atoi(r[2].c_str()),
                         std::atoi(r[3].c_str())};
        }
        view.text = f[5];
        view.image = f.size() > 6 ? f[6] : "";
        // Unnamed controls are known by their text.
        controls[f[0].empty() ? "text:" + view.text : f[0]] = view;
    }
    return controls;
}

bool WindowProbe::awaitControl(const std::string& name, const std::string& text,
                               std::chrono::milliseconds deadline, ControlView* view) const {
    return waitFor(
        [&] {
            const auto all = controls();
            const auto it = all.find(name);
            if (it == all.end() || (!text.empty() && it->second.text != text)) {
                return false;
            }
            if (view != nullptr) {
                *view = it->second;
            }
            return true;
        },
        deadline, "control " + name + (text.empty() ? "" : " showing \"" + text + "\""));
}

bool WindowProbe::click(const std::string& name) const {
    const auto all = controls();
    const auto it = all.find(name);
    if (it == all.end()) {
        return false;
    }
    const Rect& r = it->second.rect;
    return clickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

bool WindowProbe::clickAt(int x, int y, const char* button) const {
    return xdo({"mousemove", "--window", std::to_string(id_), std::to_string(x), std::to_string(y),
                "click", button});
}

bool WindowProbe::activate() const {
    return xdo({"windowactivate", "--sync", std::to_string(id_)});
}

}  // namespace testsupport
