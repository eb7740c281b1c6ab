#include "platform/MessageLoop.h"

#include <SDL2/SDL.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/SdlEvents.h"

namespace platform {
namespace {

// SDL delivers timer callbacks on its own thread; they only push an event carrying the timer's
// id and generation, and the UI thread runs the handler if the timer is still the same one.
class SdlMessageLoop final : public MessageLoop {
public:
    SdlMessageLoop() {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_InitSubSystem(SDL_INIT_EVENTS | SDL_INIT_TIMER);
        eventType_ = SDL_RegisterEvents(1);
    }

    int run() override {
        SDL_Event event;
        while (true) {
            if (takeQuit()) {
                return exitCode_;
            }
            if (SDL_WaitEvent(&event) == 0) {
                continue;
            }
            if (event.type == eventType_) {
                if (event.user.code == kPosted) {
                    runPosted();
                } else if (event.user.code == kTimer) {
                    fireTimer(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(event.user.data1)),
                              static_cast<uint64_t>(reinterpret_cast<uintptr_t>(event.user.data2)));
                }
            } else {
                sdlEventSink().deliver(event);
            }
        }
    }

    void quit(int exitCode) override {
        post([this, exitCode] {
            exitCode_ = exitCode;
            quitRequested_ = true;
        });
    }

    void post(std::function<void()> work) override {
        {
            std::lock_guard<std::mutex> lock(postedMutex_);
            posted_.push_back(std::move(work));
        }
        push(kPosted, nullptr, nullptr);
    }

    void setTimer(uint32_t id, uint32_t intervalMs, std::function<void()> onTick) override {
        killTimer(id);
        auto timer = std::make_unique<Timer>();
        timer->owner = this;
        timer->id = id;
        timer->generation = ++generation_;
        timer->onTick = std::move(onTick);
        timer->sdlId = SDL_AddTimer(intervalMs == 0 ? 1 : intervalMs, &SdlMessageLoop::onSdlTimer,
                                    timer.get());
        timers_[id] = std::move(timer);
    }

    void killTimer(uint32_t id) override {
        auto it = timers_.find(id);
        if (it == timers_.end()) {
            return;
        }
        // SDL_RemoveTimer waits for a callback in flight, so the Timer can go afterwards.
        SDL_RemoveTimer(it->second->sdlId);
        timers_.erase(it);
    }

private:
    enum : Sint32 { kPosted = 1, kTimer = 2 };

    struct Timer {
        SdlMessageLoop* owner = nullptr;
        uint32_t id = 0;
        uint64_t generation = 0;
        SDL_TimerID sdlId = 0;
        std::function<void()> onTick;
    };

    static Uint32 onSdlTimer(Uint32 interval, void* param) {
        auto* timer = static_cast<Timer*>(param);
        timer->owner->push(kTimer, reinterpret_cast<void*>(static_cast<uintptr_t>(timer->id)),
                           reinterpret_cast<void*>(static_cast<uintptr_t>(timer->generation)));
        return interval;
    }

    void push(Sint32 code, void* data1, void* data2) {
        SDL_Event event{};
        event.type = eventType_;
        event.user.code = code;
        event.user.data1 = data1;
        event.user.data2 = data2;
        SDL_PushEvent(&event);
    }

    void runPosted() {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> lock(postedMutex_);
            if (posted_.empty()) {
                return;
            }
            work = std::move(posted_.front());
            posted_.pop_front();
        }
        work();
    }

    void fireTimer(uint32_t id, uint64_t generation) {
        auto it = timers_.find(id);
        if (it == timers_.end() || it->second->generation != generation) {
            return;  // killed or replaced after SDL queued the tick
        }
        auto onTick = it->second->onTick;  // the handler may kill or replace its own timer
        onTick();
    }

    bool takeQuit() {
        const bool q = quitRequested_;
        quitRequested_ = false;
        return q;
    }

    Uint32 eventType_ = 0;

    // Written by any thread under postedMutex_; drained by the UI thread.
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;

    // UI thread only.
    std::map<uint32_t, std::unique_ptr<Timer>> timers_;
    uint64_t generation_ = 0;
    bool quitRequested_ = false;
    int exitCode_ = 0;
};

}  // namespace

MessageLoop& MessageLoop::ui() {
    static SdlMessageLoop loop;
    return loop;
}

SdlEventSink& sdlEventSink() {
    static SdlEventSink sink;
    return sink;
}

}  // namespace platform
