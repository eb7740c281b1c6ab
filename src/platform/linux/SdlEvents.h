#pragma once

#include <SDL2/SDL.h>

#include <functional>
#include <utility>

namespace platform {

// SDL events that are not the loop's own (window, mouse and keyboard events of our windows)
// are handed to the window layer through this sink. UI thread only.
class SdlEventSink {
public:
    void setHandler(std::function<void(const SDL_Event&)> handler) { handler_ = std::move(handler); }
    void deliver(const SDL_Event& event) {
        if (handler_) {
            handler_(event);
        }
    }

private:
    std::function<void(const SDL_Event&)> handler_;
};

SdlEventSink& sdlEventSink();

}  // namespace platform
