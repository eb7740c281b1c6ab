#include "flux/ActionDispatcher.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Records every call into a shared journal and runs an optional reaction.
struct Recorder : IActionListener {
    Recorder(std::string name, std::vector<std::string>& journal)
        : name(std::move(name)), journal(journal) {}
    void onAction(int32_t id, void* payload) override {
        journal.push_back(name + ":" + std::to_string(id));
        lastPayload = payload;
        if (reaction) {
            reaction(id, payload);
        }
    }
    std::string name;
    std::vector<std::string>& journal;
    void* lastPayload = nullptr;
    std::function<void(int32_t, void*)> reaction;
};

TEST(ActionDispatcher, UnknownIdDoesNothing) {
    ActionDispatcher d;
    std::vector<std::string> journal;
    Recorder a("a", journal);
    d.addListener(1, &a);
    d.dispatch(2, nullptr);
    EXPECT_TRUE(journal.empty());
}

TEST(ActionDispatcher, ListenersAreCalledInOrderAddedAndTwiceWhenAddedTwice) {
    ActionDispatcher d;
    std::vector<std::string> journal;
    Recorder a("a", journal), b("b", journal);
    d.addListener(5, &b);
    d.addListener(5, &a);
    d.addListener(5, &b);
    int payload = 42;
    d.dispatch(5, &payload);
    EXPECT_EQ(journal, (std::vector<std::string>{"b:5", "a:5", "b:5"}));
    EXPECT_EQ(a.lastPayload, &payload);
}

TEST(ActionDispatcher, NestedDispatchCompletesBeforeTheOuterReturns) {
    ActionDispatcher d;
    std::vector<std::string> journal;
    Recorder store("store", journal), view("view", journal);
    store.reaction = [&](int32_t, void* payload) {
        int changed = *static_cast<int*>(payload) + 1;  // a local, valid during the call only
        d.dispatch(29, &changed);
        journal.push_back("store-done");
    };
    int seen = 0;
    view.reaction = [&](int32_t, void* payload) { seen = *static_cast<int*>(payload); };
    d.addListener(12, &store);
    d.addListener(29, &view);
    int style = 3;
    d.dispatch(12, &style);
    EXPECT_EQ(journal, (std::vector<std::string>{"store:12", "view:29", "store-done"}));
    EXPECT_EQ(seen, 4);
}

TEST(ActionDispatcher, ListenerAddedDuringDispatchIsCalledFromTheNextOne) {
    ActionDispatcher d;
    std::vector<std::string> journal;
    Recorder first("first", journal), late("late", journal);
    first.reaction = [&](int32_t, void*) {
        if (journal.size() == 1) {
            d.addListener(7, &late);
        }
    };
    d.addListener(7, &first);
    d.dispatch(7, nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"first:7"}));
    d.dispatch(7, nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"first:7", "first:7", "late:7"}));
}

TEST(ActionDispatcher, ExceptionFromAListenerReachesTheSenderAndLaterDispatchesWork) {
    ActionDispatcher d;
    std::vector<std::string> journal;
    Recorder thrower("t", journal), after("after", journal);
    thrower.reaction = [](int32_t, void*) { throw std::runtime_error("boom"); };
    d.addListener(9, &thrower);
    d.addListener(9, &after);
    EXPECT_THROW(d.dispatch(9, nullptr), std::runtime_error);
    EXPECT_EQ(journal, (std::vector<std::string>{"t:9"}));
    thrower.reaction = nullptr;
    d.dispatch(9, nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"t:9", "t:9", "after:9"}));
}

TEST(ActionDispatcher, InstanceIsOneForTheProcess) {
    EXPECT_EQ(&ActionDispatcher::instance(), &ActionDispatcher::instance());
}

}  // namespace
