#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CSocketOwnerWnd.h"
#include "engine/INewsConnection.h"

// Sits between the run and its connection and keeps several commands in flight, so that a
// server far away does not cost a round trip per article. The run still sends one command and
// waits for its reply: it is told in advance which commands it will send next (the plan: the
// HEADs and overview blocks of a group's walk, the BODYs of a set's parts), the pipeline sends
// those ahead, holds their replies until the run asks, and hands every reply to the run in the
// order of the run's own commands, as if each had been sent alone. Replies the run never asks for
// (the plan left by a catch-up of the group, a stop, the next GROUP) are read and dropped. A bare
// "BODY" becomes "BODY <number>" of the article whose HEAD the run read last, since the server's
// current article is another one by then. Held replies are bounded in count (the depth) and in
// bytes: past the bound a reply sent ahead is dropped, and its command sent again when the run asks
// for it.
//
// With more than one connection, the others (helpers) open once the run has logged in; each repeats
// the run's login and selects the run's group, then takes a share of the commands sent ahead. The
// run's own commands go on the first connection. A helper's reply reaches the run only once it is
// complete, so a helper that fails (an error, a timeout, a server that refuses more connections)
// loses nothing: its unfinished commands are sent again on the first connection, and the helpers
// left are all the server gets from then on.
class CCommandPipeline : public INewsConnection {
  public:
    // What the plan gives next: a command, nothing for now (it is asked again once the run has
    // sent its next command), or its end.
    enum class Step { Command, Wait, End };
    using Plan = std::function<Step(std::string& command)>;

    // Of the memory the held replies take: their buffers' capacity, which growth by doubling
    // leaves up to twice their lines. Room for a set's window of parts on several connections.
    static constexpr std::size_t kMaxHeldBytes = 56u << 20;

    CCommandPipeline(const NewsConnectionFactory& factory, const std::string& server,
                     CSocketOwnerWnd& owner, std::size_t depth, std::size_t connections = 1);
    ~CCommandPipeline() override;
    CCommandPipeline(const CCommandPipeline&) = delete;
    CCommandPipeline& operator=(const CCommandPipeline&) = delete;

    // The commands the run will send next, in order, at most `ahead` of them in flight (and
    // never more than the depth on each connection); replaces any earlier plan and starts
    // sending.
    void SetPlan(Plan plan, std::size_t ahead);

    void Start() override;
    void SendLine(std::string_view line) override;
    void Close() override;

    // The run has logged in and will read articles: the helpers open now, rather than with the
    // first command sent ahead, so that their logins are done by the time a walk begins.
    void OpenHelpers();

    // Connections open or opening now, the first included.
    std::size_t OpenConnections() const;

  private:
    // Emptied reply buffers kept for the next replies: enough for the bodies in flight on
    // several connections, none larger than a big part.
    static constexpr std::size_t kSpareBuffers = 4;
    static constexpr std::size_t kMaxSpareCapacity = 2u << 20;

    struct Lane;
    struct Command {
        std::string text;
        Lane* lane = nullptr;
        bool internal = false; // a helper's own greeting, login or GROUP: never the run's
        bool claimed = false;  // the run sent it and waits for its reply
        bool dropped = false;  // its reply is read and dropped
        bool resend = false;   // its reply was dropped or lost: sent again when asked for
        bool statusSeen = false;
        bool multiLine = false; // known from the status line
        bool complete = false;  // every line of the reply has arrived
        // Reply lines that arrived before the run took them, each ended by a line feed (a
        // line never holds one).
        std::string held;
        bool HasHeld() const { return !held.empty(); }
    };
    using Commands = std::list<Command>;

    // One connection and the commands whose replies are still arriving on it, in the order sent.
    struct Lane final : CSocketOwnerWnd {
        Lane(CCommandPipeline& owner, bool first) : pipeline(owner), primary(first) {}
        void OnConnectionError(int notification, int error) override {
            pipeline.LaneError(*this, notification, error);
        }
        bool OnResponseLine(std::string_view line) override {
            return pipeline.LaneLine(*this, line);
        }
        void OnIdle() override { pipeline.m_owner.OnIdle(); }

        CCommandPipeline& pipeline;
        const bool primary;
        std::unique_ptr<INewsConnection> connection;
        std::deque<Commands::iterator> inFlight;
        bool open = false;         // a helper started and not failed or closed
        bool ready = false;        // a helper logged in: it may take commands sent ahead
        std::size_t loginSent = 0; // the run's login commands repeated on it so far
        std::string group;         // the group selected on it
    };

    void CloseHelpers();
    void ForgetCommands();
    void ThrowIfFirstBroken();
    bool ReportFirstBroken();
    bool LaneLine(Lane& lane, std::string_view line);
    void LaneError(Lane& lane, int notification, int error);
    void HelperReply(Lane& lane, Commands::iterator command, std::string_view line);
    void ContinueLogin(Lane& lane);
    void OpenLanes();
    void FailHelper(Lane& lane, bool shrink);
    void MoveToFirst(Commands::iterator command);
    Lane* LaneForAhead();

    void Claim(std::string_view line);
    bool ClaimAhead(std::string_view line);
    void SendAhead();
    std::size_t PlanLimit() const;
    void DropAhead(Commands::iterator command) { DropAhead(command, m_commands.end()); }
    void DropAhead(Commands::iterator command, Commands::iterator end);
    bool NextPlanned(std::string& command);
    static bool IsAhead(const Command& command);
    Commands::iterator Enqueue(Lane& lane, std::string text, bool claimed, bool internal);
    Commands::iterator Transmit(Lane& lane, std::string text, bool claimed, bool internal = false);
    bool SendOn(Lane* lane, Commands::iterator command);
    bool DeliverHeld();
    void Hold(Commands::iterator command, std::string_view line);
    void Discard(Command& command);
    void ReleaseHeld(Command& command);
    void Recycle(std::string& buffer);
    bool EndsReply(Command& command, std::string_view line);
    Commands::iterator OldestAhead();
    Lane& First() { return *m_lanes.front(); }

    CSocketOwnerWnd& m_owner;
    NewsConnectionFactory m_factory;
    std::string m_server;
    std::vector<std::unique_ptr<Lane>> m_lanes; // the first is the run's own connection
    std::size_t m_nUsable;                      // connections the server may get
    std::size_t m_nDepth;
    Plan m_plan;
    std::optional<std::string> m_next; // taken from the plan, not sent yet
    std::size_t m_nPlanAhead = 0;
    Commands m_commands;         // in the order sent
    std::size_t m_nInternal = 0; // of them the helpers' own
    // The run's commands whose replies it has not had whole, in the order it sent them.
    std::deque<Commands::iterator> m_claims;
    std::size_t m_nHeldBytes = 0;
    std::vector<std::string> m_spareBuffers;
    std::size_t m_nResent = 0;        // replies dropped past the bound, for the trace
    std::size_t m_nMoved = 0;         // commands moved from a helper to the first connection
    uint32_t m_uLastHead = 0;         // of the run's last HEAD
    std::vector<std::string> m_login; // the run's AUTHINFO and MODE READER, for the helpers
    std::string m_group;              // the run's group
    bool m_bLoggedIn = false;         // the run's login is complete: helpers may repeat it
    bool m_bFirstBroken = false;      // a command moved to the first connection could not be sent
    unsigned m_nGeneration = 0;       // counts the closes and starts
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
