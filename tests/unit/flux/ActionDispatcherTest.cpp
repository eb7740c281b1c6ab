#include "flux/ActionDispatcher.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Journal = std::vector<std::string>;

// Writes "<name>:<id>" into a shared journal for every call, then runs its reaction.
struct Listener : IActionListener {
    Listener(std::string name, Journal& journal) : name(std::move(name)), journal(journal) {}
    void onAction(int32_t id, void* payload) override {
        journal.push_back(name + ":" + std::to_string(id));
        if (reaction) {
            reaction(payload);
        }
    }
    std::string name;
    Journal& journal;
    std::function<void(void*)> reaction;
};

TEST(ActionDispatcher, CallsTheIdsListenersInOrderAddedWithThePayload) {
    ActionDispatcher d;
    Journal journal;
    Listener a("a", journal), b("b", journal);
    d.addListener(5, &b);
    d.addListener(5, &a);
    d.addListener(5, &b);  // twice: called twice
    d.addListener(6, &a);
    int payload = 42;
    void* seen = nullptr;
    a.reaction = [&](void* p) { seen = p; };
    d.dispatch(5, &payload);
    d.dispatch(7, nullptr);  // no listener: nothing happens
    EXPECT_EQ(journal, (Journal{"b:5", "a:5", "b:5"}));
    EXPECT_EQ(seen, &payload);
}

TEST(ActionDispatcher, NestedDispatchesCompleteInsideAndLateListenersWaitForTheNext) {
    ActionDispatcher d;
    Journal journal;
    Listener store("store", journal), view("view", journal), late("late", journal);
    store.reaction = [&](void* payload) {
        int changed = *static_cast<int*>(payload) + 1;  // valid during the call only
        d.dispatch(29, &changed);
        d.addListener(12, &late);
        journal.push_back("store-done");
    };
    int seen = 0;
    view.reaction = [&](void* payload) { seen = *static_cast<int*>(payload); };
    d.addListener(12, &store);
    d.addListener(29, &view);
    int style = 3;
    d.dispatch(12, &style);
    EXPECT_EQ(journal, (Journal{"store:12", "view:29", "store-done"}));
    EXPECT_EQ(seen, 4);
    journal.clear();
    store.reaction = nullptr;
    d.dispatch(12, &style);
    EXPECT_EQ(journal, (Journal{"store:12", "late:12"}));
}

}  // namespace
