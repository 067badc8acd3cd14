// The pipeline on its own: what it sends ahead, what it holds and hands over, what it drops.
#include "engine/CCommandPipeline.h"

#include <gtest/gtest.h>

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
CCommandPipeline::Plan Numbers(std::deque<uint32_t> numbers) {
    return [numbers](std::string& command) mutable {
        if (numbers.empty())
            return false;
        command = "HEAD " + std::to_string(numbers.front());
        numbers.pop_front();
        return true;
    };
}

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
