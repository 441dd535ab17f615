// The work queue's rules from one table: what is asked for while a piece of work runs, and what
// then ran, in order.

#include "ledger/work_queue.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace ledger {
namespace {

using Work = WorkQueue::Work;

struct Request {
    Work kind;
    const char* name;
    // Asked for while this request itself runs (a handler run inside it).
    std::vector<Request> inside = {};
};

struct Case {
    const char* name;
    std::vector<Request> asked;  // in this order, while a report runs
    std::vector<std::string> ran;
};

TEST(WorkQueueTest, WhatRunsWaitsMergesAndIsDropped) {
    const std::vector<Case> cases = {
        {"work waits for the running walk, in the order asked",
         {{Work::Edit, "add"}, {Work::Refresh, "refresh"}, {Work::Edit, "delete"}},
         {"add", "refresh", "delete"}},
        {"a refresh asked twice in a row runs once",
         {{Work::Refresh, "refresh 1"}, {Work::Refresh, "refresh 2"}},
         {"refresh 1"}},
        {"a mode switch's refresh takes the place of a waiting refresh",
         {{Work::Refresh, "refresh"}, {Work::ModeRefresh, "mode"}, {Work::Refresh, "again"}},
         {"mode"}},
        {"a later mode switch's refresh takes the place of an earlier one",
         {{Work::ModeRefresh, "expense"}, {Work::ModeRefresh, "income"}},
         {"income"}},
        {"a refresh drops the located change waiting before it",
         {{Work::Locate, "locate"}, {Work::Refresh, "refresh"}},
         {"refresh"}},
        {"a mode switch drops the located change and the add after it is an add",
         {{Work::Locate, "locate"}, {Work::ModeRefresh, "mode"}, {Work::Edit, "add"}},
         {"mode", "add"}},
        {"a locate with a save waiting after it stays, the refresh follows the save",
         {{Work::Locate, "locate"}, {Work::Edit, "save"}, {Work::Refresh, "refresh"}},
         {"locate", "save", "refresh"}},
        {"only the locates after the last edit are dropped",
         {{Work::Locate, "locate 1"},
          {Work::Edit, "save"},
          {Work::Locate, "locate 2"},
          {Work::Refresh, "refresh"}},
         {"locate 1", "save", "refresh"}},
        {"a refresh after an edit is not merged into the one before the edit",
         {{Work::Refresh, "refresh 1"}, {Work::Edit, "add"}, {Work::Refresh, "refresh 2"}},
         {"refresh 1", "add", "refresh 2"}},
        {"a locate after a waiting refresh waits and runs after it",
         {{Work::Refresh, "refresh"}, {Work::Locate, "locate"}},
         {"refresh", "locate"}},
        {"a refresh after a locate after a refresh: both refreshes merge",
         {{Work::Refresh, "refresh 1"}, {Work::Locate, "locate"}, {Work::Refresh, "refresh 2"}},
         {"refresh 1"}},
        {"a report asked while one waits runs once, in its place",
         {{Work::Report, "report 1"}, {Work::Edit, "add"}, {Work::Report, "report 2"}},
         {"report 2", "add"}},
        {"a refresh merges across a waiting report, which shows no part of the day",
         {{Work::Refresh, "refresh 1"}, {Work::Report, "report"}, {Work::Refresh, "refresh 2"}},
         {"refresh 1", "report"}},
        {"a locate is never merged",
         {{Work::Locate, "locate 1"}, {Work::Locate, "locate 2"}},
         {"locate 1", "locate 2"}},
        {"work asked while waiting work runs waits behind what already waits",
         {{Work::Edit, "add", {{Work::Refresh, "refresh from the add's message box"}}},
          {Work::Edit, "delete"}},
         {"add", "delete", "refresh from the add's message box"}},
        {"work asked while waiting work runs follows the same rules",
         {{Work::Edit, "add", {{Work::Refresh, "refresh 2"}}}, {Work::Refresh, "refresh 1"}},
         {"add", "refresh 1"}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WorkQueue queue;
        std::vector<std::string> ran;
        std::function<void(const Request&)> ask = [&](const Request& r) {
            queue.run(r.kind, [&, r] {
                ran.push_back(r.name);
                EXPECT_TRUE(queue.busy());
                for (const Request& inner : r.inside) ask(inner);
            });
        };
        queue.run(Work::Report, [&] {
            for (const Request& r : c.asked) ask(r);
            EXPECT_TRUE(ran.empty()) << "work ran inside the running walk";
        });
        EXPECT_EQ(ran, c.ran);
        EXPECT_FALSE(queue.busy());
    }
}

TEST(WorkQueueTest, WorkAskedForWhileNothingRunsRunsAtOnce) {
    WorkQueue queue;
    std::vector<std::string> ran;
    for (Work kind : {Work::Refresh, Work::Refresh, Work::Locate, Work::Report, Work::Report}) {
        queue.run(kind, [&] { ran.push_back("ran"); });
        EXPECT_EQ(ran.size(), 1u);
        ran.clear();
    }
    EXPECT_FALSE(queue.busy());
}

}  // namespace
}  // namespace ledger
