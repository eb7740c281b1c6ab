#include "flux/ActionDispatcher.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Journal = std::vector<std::string>;

// Writes "<name>:<id>:<payload>" into a shared journal for every call, then runs its reaction.
struct Listener : IActionListener {
    Listener(std::string name, Journal& journal) : name(std::move(name)), journal(journal) {}
    void onAction(int32_t id, void* payload) override {
        journal.push_back(name + ":" + std::to_string(id) + ":" +
                          std::to_string(*static_cast<int*>(payload)));
        if (reaction) {
            reaction(*static_cast<int*>(payload));
        }
    }
    std::string name;
    Journal& journal;
    std::function<void(int)> reaction;
};

TEST(ActionDispatcher, CallsListenersInOrderAddedAndCompletesNestedDispatchesInside) {
    ActionDispatcher d;
    Journal journal;
    Listener a("a", journal), b("b", journal), late("late", journal);
    const std::pair<int32_t, Listener*> adds[] = {{5, &b}, {5, &a}, {5, &b}, {6, &a}, {29, &b}};
    for (const auto& [id, listener] : adds) {
        d.addListener(id, listener);  // b twice on 5: called twice
    }
    a.reaction = [&](int value) {
        int changed = value + 1;  // valid during the call only
        d.dispatch(29, &changed);
        d.addListener(5, &late);  // waits for the next dispatch
    };
    int payload = 42;
    d.dispatch(5, &payload);
    d.dispatch(7, nullptr);  // no listener: nothing happens
    EXPECT_EQ(journal, (Journal{"b:5:42", "a:5:42", "b:29:43", "b:5:42"}));
    journal.clear();
    a.reaction = nullptr;
    d.dispatch(5, &payload);
    EXPECT_EQ(journal, (Journal{"b:5:42", "a:5:42", "b:5:42", "late:5:42"}));
}

}  // namespace
