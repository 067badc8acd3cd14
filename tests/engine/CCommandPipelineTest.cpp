// The pipeline on its own: what it sends ahead, what it holds and hands over, what it drops.
#include "engine/CCommandPipeline.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

// A connection that records the commands and lets the test deliver reply lines.
struct Wire {
    std::vector<std::string> sent;
    CSocketOwnerWnd* pipeline = nullptr;
    bool started = false;

    NewsConnectionFactory Factory() {
        return [this](const std::string&, CSocketOwnerWnd& owner) {
            pipeline = &owner;
            struct Connection : INewsConnection {
                explicit Connection(Wire& wire) : m_wire(wire) {}
                void Start() override { m_wire.started = true; }
                void SendLine(std::string_view line) override { m_wire.sent.emplace_back(line); }
                void Close() override { m_wire.started = false; }
                Wire& m_wire;
            };
            return std::make_unique<Connection>(*this);
        };
    }
    void Deliver(const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            pipeline->OnResponseLine(line);
    }
};

// The run's side: what it received, and what it sends on each line (by the line's text).
struct Owner : CSocketOwnerWnd {
    std::vector<std::string> received;
    std::function<void(const std::string&)> onLine;
    void OnConnectionError(int, int) override {}
    bool OnResponseLine(std::string_view line) override {
        received.emplace_back(line);
        if (onLine)
            onLine(std::string(line));
        return true;
    }
};

std::vector<std::string> Head(uint32_t n) {
    return {"221 " + std::to_string(n) + " <id>", "Subject: " + std::to_string(n), "."};
}

// A plan of HEADs.
CCommandPipeline::Plan Commands(std::string verb, std::deque<uint32_t> numbers) {
    return [verb, numbers](std::string& command) mutable {
        if (numbers.empty())
            return CCommandPipeline::Step::End;
        command = verb + " " + std::to_string(numbers.front());
        numbers.pop_front();
        return CCommandPipeline::Step::Command;
    };
}

CCommandPipeline::Plan Numbers(std::deque<uint32_t> numbers) {
    return Commands("HEAD", std::move(numbers));
}

// A plan of BODYs.
CCommandPipeline::Plan Bodies(std::deque<uint32_t> numbers) {
    return Commands("BODY", std::move(numbers));
}

// Every connection the pipeline made, in the order made.
struct Wires {
    struct Line {
        std::vector<std::string> sent;
        CSocketOwnerWnd* owner = nullptr;
        bool started = false;
    };
    std::vector<std::unique_ptr<Line>> lines;

    NewsConnectionFactory Factory() {
        return [this](const std::string&, CSocketOwnerWnd& owner) {
            lines.push_back(std::make_unique<Line>());
            lines.back()->owner = &owner;
            struct Connection : INewsConnection {
                explicit Connection(Line& line) : m_line(line) {}
                void Start() override { m_line.started = true; }
                void SendLine(std::string_view text) override { m_line.sent.emplace_back(text); }
                void Close() override { m_line.started = false; }
                Line& m_line;
            };
            return std::make_unique<Connection>(*lines.back());
        };
    }
    void Deliver(size_t index, const std::vector<std::string>& replies) {
        for (const std::string& reply : replies)
            lines.at(index)->owner->OnResponseLine(reply);
    }
};

class CCommandPipelineTest : public ::testing::Test {
  protected:
    void Make(size_t depth) {
        pipeline = std::make_unique<CCommandPipeline>(wire.Factory(), "s", owner, depth);
        pipeline->Start();
    }
    Wire wire;
    Owner owner;
    std::unique_ptr<CCommandPipeline> pipeline;
};

} // namespace

TEST_F(CCommandPipelineTest, SendsThePlanAheadAndHandsRepliesOverInTheRunsOrder) {
    Make(4);
    pipeline->SetPlan(Numbers({5, 6, 7, 8, 9}), 1000);
    // The run, at the end of each reply: HEAD 5 on the greeting, BODY after 5's headers, then
    // HEAD 6 and HEAD 7.
    const std::vector<std::string> next = {"HEAD 5", "BODY", "HEAD 6", "HEAD 7"};
    size_t ends = 0;
    owner.onLine = [&](const std::string& line) {
        if ((line == "200 hi" || line == ".") && ends < next.size())
            pipeline->SendLine(next[ends++]);
    };
    wire.Deliver({"200 hi"});
    // Up to the depth: the greeting's place is taken by HEAD 5's reply now.
    EXPECT_EQ(wire.sent, (std::vector<std::string>{"HEAD 5", "HEAD 6", "HEAD 7", "HEAD 8"}));
    wire.Deliver(Head(5));
    // The bare BODY names the article, since the server's current one is 8 by now.
    EXPECT_EQ(wire.sent.back(), "BODY 5");
    wire.Deliver(Head(6));
    wire.Deliver(Head(7));
    wire.Deliver(Head(8));
    EXPECT_EQ(owner.received.back(), ".") << "5's headers end";
    EXPECT_EQ(owner.received.size(), 4u); // 6, 7 and 8 are held for the run
    wire.Deliver({"222 5 <id>", "body of 5", "."});
    // BODY 5's reply, then 6 and 7 from what was held, each as the run asks for it.
    EXPECT_EQ(owner.received,
              (std::vector<std::string>{"200 hi", "221 5 <id>", "Subject: 5", ".", "222 5 <id>",
                                        "body of 5", ".", "221 6 <id>", "Subject: 6", ".",
                                        "221 7 <id>", "Subject: 7", "."}));
}

TEST_F(CCommandPipelineTest, ACommandOffThePlanDropsWhatWasSentAhead) {
    Make(8);
    pipeline->SetPlan(Numbers({1, 2, 3, 4}), 1000);
    owner.onLine = [this](const std::string& line) {
        if (line == "200 hi")
            pipeline->SendLine("HEAD 1");
        if (line == ".")
            pipeline->SendLine("GROUP alt.next");
    };
    wire.Deliver({"200 hi"});
    wire.Deliver(Head(1));
    wire.Deliver(Head(2));
    wire.Deliver({"423 no such article"}); // 3
    wire.Deliver(Head(4));
    wire.Deliver({"211 1 1 1 alt.next"});
    EXPECT_EQ(owner.received, (std::vector<std::string>{"200 hi", "221 1 <id>", "Subject: 1", ".",
                                                        "211 1 1 1 alt.next"}));
    // A HEAD the plan does not name next: sent by itself, and nothing more ahead of it.
    pipeline->SetPlan(Numbers({7, 8, 10}), 2);
    EXPECT_EQ(wire.sent.back(), "HEAD 8");
    wire.sent.clear();
    pipeline->SendLine("HEAD 9");
    EXPECT_EQ(wire.sent, (std::vector<std::string>{"HEAD 9"}));
}

TEST_F(CCommandPipelineTest, HeldRepliesAreBoundedInBytes) {
    Make(256);
    std::deque<uint32_t> numbers;
    for (uint32_t n = 1; n <= 60; ++n)
        numbers.push_back(n);
    pipeline->SetPlan(Numbers(numbers), 1000);
    // The run asks for 1 to 60 in turn, each at the end of the reply before, and for the body
    // of 1 first: the replies to the HEADs sent ahead arrive while it waits for that.
    uint32_t heads = 0;
    bool body = false;
    owner.onLine = [&](const std::string& line) {
        if (line == "." && heads == 1 && !body) {
            body = true;
            pipeline->SendLine("BODY");
        } else if ((line == "200 hi" || line == ".") && heads < 60) {
            pipeline->SendLine("HEAD " + std::to_string(++heads));
        }
    };
    wire.Deliver({"200 hi"});
    ASSERT_EQ(wire.sent.size(), 60u);
    // The server answers every command, each reply a 40th of the bound: past the bound of what
    // is held
    // they are dropped, and asked for again when the run comes to them.
    const std::string big(CCommandPipeline::kMaxHeldBytes / 40, 'x');
    // Nor does a dropped reply keep the memory it was held in.
    const auto heapInUse = [] {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    const size_t heapBefore = heapInUse();
    size_t heapMost = heapBefore;
    const auto onLine = owner.onLine;
    owner.onLine = [&](const std::string& line) {
        heapMost = std::max(heapMost, heapInUse());
        // The run keeps no such lines either.
        if (line.size() > big.size() / 2)
            std::string("(long)").swap(owner.received.back());
        onLine(line);
    };
    for (size_t answered = 0; answered < wire.sent.size(); ++answered) {
        const std::string number = wire.sent[answered].substr(5);
        if (wire.sent[answered].starts_with("BODY "))
            wire.Deliver({"222 " + number + " <id>", "body", "."});
        else
            wire.Deliver({"221 " + number + " <id>", "X: " + big, "."});
    }
    std::vector<std::string> replies;
    for (const std::string& line : owner.received)
        if (line.starts_with("221 "))
            replies.push_back(line);
    ASSERT_EQ(replies.size(), 60u);
    for (size_t n = 1; n <= 60; ++n)
        EXPECT_EQ(replies[n - 1], "221 " + std::to_string(n) + " <id>");
    // Those dropped past the bound were sent twice.
    EXPECT_GT(wire.sent.size(), 70u);
    EXPECT_LT(wire.sent.size(), 121u);
    EXPECT_LT(heapMost - heapBefore, CCommandPipeline::kMaxHeldBytes * 5 / 4);
}

// The run may delete the pipeline from inside a line, also one handed over from what was held.
TEST_F(CCommandPipelineTest, TheRunMayDeleteThePipelineFromInsideALine) {
    Make(4);
    pipeline->SetPlan(Numbers({1, 2, 3}), 1000);
    bool bodyEnded = false;
    owner.onLine = [this, &bodyEnded](const std::string& line) {
        if (line == "200 hi")
            pipeline->SendLine("HEAD 1");
        if (line == "Subject: 1")
            pipeline->SendLine("BODY");
        if (line == "body")
            bodyEnded = true;
        else if (line == "." && bodyEnded)
            pipeline->SendLine("HEAD 2");
        if (line == "Subject: 2")
            pipeline.reset();
    };
    wire.Deliver({"200 hi"});
    wire.Deliver({"221 1 <id>", "Subject: 1"});
    wire.Deliver({"."});
    wire.Deliver(Head(2)); // held: the run waits for BODY 1
    wire.Deliver(Head(3));
    ASSERT_EQ(wire.sent.back(), "BODY 1");
    wire.Deliver({"222 1 <id>", "body", "."}); // then 2's held reply, deleted inside it
    EXPECT_EQ(pipeline, nullptr);
    EXPECT_EQ(owner.received.back(), "Subject: 2");
}

class SeveralConnectionsTest : public ::testing::Test {
  protected:
    // A pipeline of two connections, logged in with group g selected. The run asks for each of
    // `bodies` in turn, at the end of the reply before.
    SeveralConnectionsTest() {
        pipeline = std::make_unique<CCommandPipeline>(wires.Factory(), "s", owner, 8, 2);
        pipeline->Start();
        wires.Deliver(0, {"200 hi"});
        pipeline->SendLine("GROUP g");
        wires.Deliver(0, {"211 9 1 9 g"});
        owner.onLine = [this](const std::string& line) {
            if (line == "." && !bodies.empty()) {
                pipeline->SendLine("BODY " + std::to_string(bodies.front()));
                bodies.pop_front();
            }
        };
    }
    std::vector<std::string> Body(uint32_t number) {
        return {"222 " + std::to_string(number) + " <id>", "body " + std::to_string(number), "."};
    }
    Wires wires;
    Owner owner;
    std::unique_ptr<CCommandPipeline> pipeline;
    std::deque<uint32_t> bodies;
};

// The reply the run waits for, arriving on a helper and passing the bound of what is held: the
// helper's copy is dropped, the command goes again on the first connection, and the run gets
// that reply once, as it arrives there.
TEST_F(SeveralConnectionsTest, AReplyPastTheBoundOnAHelperIsAskedAgainOnTheFirst) {
    pipeline->SetPlan(Bodies({1, 2, 3, 4}), 2);
    ASSERT_EQ(wires.lines.size(), 2u);
    wires.Deliver(1, {"200 helper"});
    const std::vector<std::string>& first = wires.lines[0]->sent;
    const std::vector<std::string>& helper = wires.lines[1]->sent;
    EXPECT_EQ(first, (std::vector<std::string>{"GROUP g", "BODY 1", "BODY 2"}));
    EXPECT_TRUE(helper.empty()); // nothing more to send ahead yet
    bodies = {2, 3, 4};
    pipeline->SendLine("BODY 1");
    wires.Deliver(0, Body(1));
    // The helper had fewer replies to come; it selects the group first.
    EXPECT_EQ(helper, (std::vector<std::string>{"GROUP g", "BODY 3"}));
    wires.Deliver(0, Body(2));
    EXPECT_EQ(first.back(), "BODY 4");
    owner.received.clear();
    const std::string huge(CCommandPipeline::kMaxHeldBytes + 1, 'x');
    wires.Deliver(1, {"211 9 1 9 g", "222 3 <id>", huge});
    EXPECT_EQ(first.back(), "BODY 3");
    wires.Deliver(1, {"the rest of the helper's copy", "."});
    EXPECT_TRUE(owner.received.empty());
    wires.Deliver(0, Body(4));
    wires.Deliver(0, Body(3));
    EXPECT_EQ(owner.received,
              (std::vector<std::string>{"222 3 <id>", "body 3", ".", "222 4 <id>", "body 4", "."}));
}

// A helper that times out with nothing to answer was only idle: the next plan opens it again.
// One that fails with commands in flight is not opened again, and its commands go to the first.
TEST_F(SeveralConnectionsTest, AnIdleHelperOpensAgainAFailedOneDoesNot) {
    pipeline->SetPlan(Bodies({1}), 1);
    wires.Deliver(1, {"200 helper"});
    pipeline->SendLine("BODY 1");
    wires.Deliver(0, Body(1));
    wires.lines[1]->owner->OnConnectionError(CSocketOwnerWnd::kTimerNotification,
                                             CSocketOwnerWnd::kTimeoutError);
    EXPECT_FALSE(wires.lines[1]->started);
    EXPECT_EQ(pipeline->OpenConnections(), 1u);

    pipeline->SetPlan(Bodies({2, 3, 4, 5}), 3);
    ASSERT_EQ(wires.lines.size(), 3u);
    EXPECT_TRUE(wires.lines[2]->started);
    wires.Deliver(2, {"200 helper"});
    bodies = {3, 4, 5};
    pipeline->SendLine("BODY 2");
    wires.Deliver(0, Body(2));
    EXPECT_EQ(wires.lines[2]->sent, (std::vector<std::string>{"GROUP g", "BODY 5"}));
    wires.lines[2]->owner->OnConnectionError(CSocketOwnerWnd::kSocketNotification, 10054);
    EXPECT_EQ(wires.lines[0]->sent.back(), "BODY 5");
    EXPECT_EQ(pipeline->OpenConnections(), 1u);
    owner.received.clear();
    for (const uint32_t n : {3u, 4u, 5u})
        wires.Deliver(0, Body(n));
    EXPECT_EQ(owner.received,
              (std::vector<std::string>{"222 3 <id>", "body 3", ".", "222 4 <id>", "body 4", ".",
                                        "222 5 <id>", "body 5", "."}));
    pipeline->SetPlan(Bodies({6, 7}), 2);
    EXPECT_EQ(wires.lines.size(), 3u);
    EXPECT_EQ(pipeline->OpenConnections(), 1u);
}
