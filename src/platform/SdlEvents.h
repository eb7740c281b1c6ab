#pragma once

#include <SDL2/SDL.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

// SDL events that are not the loop's own (window, mouse and keyboard events of our windows)
// are handed to the window layer through this sink. UI thread only.
class SdlEventSink {
  public:
    using Handler = std::function<void(const SDL_Event&)>;

    void setHandler(Handler handler) { handler_ = std::move(handler); }

    // Windows outside the window layer (the camera preview) listen here as well; each sees
    // every event after the window layer. A handler may remove itself or others while called.
    int addHandler(Handler handler) {
        extra_.emplace_back(++lastId_, std::make_shared<Handler>(std::move(handler)));
        return lastId_;
    }
    void removeHandler(int id) {
        extra_.erase(std::remove_if(extra_.begin(), extra_.end(),
                                    [id](const auto& e) { return e.first == id; }),
                     extra_.end());
    }

    void deliver(const SDL_Event& event) {
        if (handler_) {
            handler_(event);
        }
        const auto snapshot = extra_;  // keeps each handler alive while it runs
        for (const auto& [id, handler] : snapshot) {
            if (registered(id)) {
                (*handler)(event);
            }
        }
    }

  private:
    bool registered(int id) const {
        return std::any_of(extra_.begin(), extra_.end(),
                           [id](const auto& e) { return e.first == id; });
    }

    Handler handler_;
    std::vector<std::pair<int, std::shared_ptr<Handler>>> extra_;
    int lastId_ = 0;
};

SdlEventSink& sdlEventSink();

}  // namespace platform
