#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "engine/CSocketOwnerWnd.h"
#include "engine/INewsConnection.h"

// Sits between the run and its connection and keeps several commands in flight, so that a
// server far away does not cost a round trip per article. The run still sends one command and
// waits for its reply: it is told in advance which commands it will send next (the plan: the
// HEADs of a group's walk, the BODYs of a set's parts), the pipeline sends those ahead, holds
// their replies until the run asks, and hands every reply to the run in the order of the run's
// own commands, as if each had been sent alone. Replies the run never asks for (the plan left by a
// catch-up of the group, a stop, the next GROUP) are read and dropped. A bare "BODY" becomes "BODY
// <number>" of the article whose HEAD the run read last, since the server's current article is
// another one by then. Held replies are bounded in count (the depth) and in bytes: past the bound a
// reply sent ahead is dropped, and its command sent again when the run asks for it.
class CCommandPipeline : public INewsConnection, public CSocketOwnerWnd {
  public:
    // The next command of the plan; false at its end.
    using Plan = std::function<bool(std::string& command)>;

    static constexpr std::size_t kMaxHeldBytes = 16u << 20;

    CCommandPipeline(const NewsConnectionFactory& factory, const std::string& server,
                     CSocketOwnerWnd& owner, std::size_t depth);
    ~CCommandPipeline() override;
    CCommandPipeline(const CCommandPipeline&) = delete;
    CCommandPipeline& operator=(const CCommandPipeline&) = delete;

    // The commands the run will send next, in order, at most `ahead` of them in flight (and
    // never more than the depth); replaces any earlier plan and starts sending.
    void SetPlan(Plan plan, std::size_t ahead);

    void Start() override;
    void SendLine(std::string_view line) override;
    void Close() override;

    void OnConnectionError(int notification, int error) override;
    bool OnResponseLine(std::string_view line) override;
    void OnIdle() override;

  private:
    struct Command {
        std::string text;
        bool claimed = false; // the run sent it and waits for its reply
        bool dropped = false; // its reply is read and dropped
        bool resend = false;  // dropped to stay within the bound: sent again when asked for
        bool statusSeen = false;
        bool multiLine = false;       // known from the status line
        bool complete = false;        // every line of the reply has arrived
        std::deque<std::string> held; // reply lines that arrived before the run took them
    };
    using Commands = std::list<Command>;

    void Claim(std::string_view line);
    void SendAhead();
    void DropAhead();
    void Transmit(std::string text, bool claimed);
    bool DeliverHeld();
    void Hold(Commands::iterator command, std::string_view line);
    void Discard(Command& command);
    bool EndsReply(Command& command, std::string_view line);
    Commands::iterator OldestAhead();

    CSocketOwnerWnd& m_owner;
    std::unique_ptr<INewsConnection> m_pConnection;
    std::size_t m_nDepth;
    Plan m_plan;
    std::size_t m_nPlanDepth = 0;
    Commands m_commands;          // in the order sent
    Commands::iterator m_reading; // the command whose reply is arriving
    // The run's commands whose replies it has not had whole, in the order it sent them.
    std::deque<Commands::iterator> m_claims;
    std::size_t m_nHeldBytes = 0;
    uint32_t m_uLastHead = 0; // of the run's last HEAD
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
