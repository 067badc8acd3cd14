#include "engine/CCommandPipeline.h"

#include <algorithm>
#include <utility>

#include "engine/HeaderParsing.h"
#include "platform/ConnectionErrors.h"
#include "platform/Diagnostics.h"

namespace {

// Stands for a helper's greeting among its commands: the reply to the connect.
const std::string kGreeting;
// What the run's connection reports when a command moved over to it could not be sent.
constexpr int kConnectionReset = 10054;

// The memory a held reply's buffer takes beyond the string itself.
std::size_t Footprint(const std::string& held) {
    static const std::size_t kInline = std::string().capacity();
    return held.capacity() > kInline ? held.capacity() : 0;
}

bool IsHead(std::string_view command) {
    return command.starts_with("HEAD ");
}

bool IsBody(std::string_view command) {
    return command == "BODY" || command.starts_with("BODY ");
}

bool IsOverview(std::string_view command) {
    return command.starts_with("XOVER ");
}

// The commands of a walk, which may have been sent ahead.
bool IsPlannable(std::string_view command) {
    return IsHead(command) || command.starts_with("BODY ") || IsOverview(command);
}

bool IsGroup(std::string_view command) {
    return command.starts_with("GROUP ");
}

// The run's commands that a helper repeats before it selects the group.
bool IsLogin(std::string_view command) {
    return command.starts_with("AUTHINFO ") || command == "MODE READER";
}

// What a helper needs to hear to go on after one of its own commands.
bool Accepted(const std::string& command, int code) {
    if (command == kGreeting)
        return code == 200 || code == 201;
    if (IsGroup(command))
        return code == 211;
    if (command == "MODE READER")
        return code == 200 || code == 201 || code == 500;
    return code >= 200 && code < 400;
}

} // namespace

CCommandPipeline::CCommandPipeline(const NewsConnectionFactory& factory, const std::string& server,
                                   CSocketOwnerWnd& owner, std::size_t depth,
                                   std::size_t connections)
    : m_owner(owner), m_factory(factory), m_server(server),
      m_nUsable(std::max<std::size_t>(1, connections)), m_nDepth(depth) {
    for (std::size_t i = 0; i < m_nUsable; ++i)
        m_lanes.push_back(std::make_unique<Lane>(*this, i == 0));
    First().connection = m_factory(server, First());
}

CCommandPipeline::~CCommandPipeline() {
    *m_alive = false;
}

// Commands already sent ahead that the new plan names first stay in flight in their places;
// the rest of them are dropped, and the new plan goes on after those it named.
void CCommandPipeline::SetPlan(Plan plan, std::size_t ahead) {
    m_plan = std::move(plan);
    m_next.reset();
    m_nPlanAhead = ahead;
    auto command = m_commands.begin();
    for (; command != m_commands.end(); ++command) {
        if (!IsAhead(*command))
            continue;
        std::string next;
        if (!NextPlanned(next))
            break;
        if (next != command->text) {
            m_next = std::move(next);
            break;
        }
    }
    DropAhead(command);
    SendAhead();
}

bool CCommandPipeline::NextPlanned(std::string& command) {
    if (m_next) {
        command = std::move(*m_next);
        m_next.reset();
        return true;
    }
    if (!m_plan)
        return false;
    const Step step = m_plan(command);
    if (step == Step::End)
        m_plan = nullptr;
    return step == Step::Command;
}

bool CCommandPipeline::IsAhead(const Command& command) {
    return !command.claimed && !command.internal && (!command.dropped || command.resend);
}

std::size_t CCommandPipeline::OpenConnections() const {
    return 1 + static_cast<std::size_t>(std::count_if(m_lanes.begin() + 1, m_lanes.end(),
                                                      [](const auto& lane) { return lane->open; }));
}

// The greeting is the reply to the connect: the run waits for it as for a command's.
void CCommandPipeline::Start() {
    CloseHelpers();
    ForgetCommands();
    m_login.clear();
    m_group.clear();
    m_bLoggedIn = false;
    m_bFirstBroken = false;
    Enqueue(First(), kGreeting, true, false);
    First().connection->Start();
}

void CCommandPipeline::Close() {
    DebugTrace(1,
               "Commands to %s dropped past the bound: %zu; moved to the first connection: %zu\n",
               m_server.c_str(), m_nResent, m_nMoved);
    First().connection->Close();
    CloseHelpers();
    ForgetCommands();
}

void CCommandPipeline::CloseHelpers() {
    for (const auto& lane : m_lanes) {
        if (lane->primary || !lane->open)
            continue;
        lane->open = false;
        lane->ready = false;
        lane->connection->Close();
        // Allowed from inside the connection's own call: it does not touch itself afterwards.
        lane->connection.reset();
    }
}

void CCommandPipeline::ForgetCommands() {
    ++m_nGeneration;
    for (const auto& lane : m_lanes)
        lane->inFlight.clear();
    m_commands.clear();
    m_nInternal = 0;
    m_claims.clear();
    m_nHeldBytes = 0;
    m_plan = nullptr;
    m_next.reset();
}

// ---------------------------------------------------------------------------------------------
// The run's commands

// A command of the run. Its reply is handed over once the replies before it are in, from the
// connection's callbacks (the run sends only from inside them), never from here: the run is
// still in its own call then.
void CCommandPipeline::SendLine(std::string_view line) {
    ThrowIfFirstBroken();
    if (IsGroup(line)) {
        m_group = line.substr(6);
        m_bLoggedIn = true;
    } else if (IsLogin(line))
        m_login.emplace_back(line);
    if (IsPlannable(line)) {
        Claim(line);
    } else if (line == "BODY" && m_nDepth > 1) {
        // The body of the article just read may have been sent ahead with its HEAD.
        const std::string numbered = "BODY " + std::to_string(m_uLastHead);
        if (!ClaimAhead(numbered))
            Transmit(First(), numbered, true);
    } else {
        std::string text(line);
        if (!IsBody(line)) {
            // The walk is over (a new group, a login): what was sent ahead is not wanted.
            DropAhead(m_commands.begin());
            m_plan = nullptr;
            m_next.reset();
        }
        Transmit(First(), std::move(text), true);
    }
    SendAhead();
    ThrowIfFirstBroken();
}

void CCommandPipeline::ThrowIfFirstBroken() {
    if (std::exchange(m_bFirstBroken, false))
        throw CConnectionException("send failed", kConnectionReset);
}

void CCommandPipeline::Claim(std::string_view line) {
    if (IsHead(line))
        m_uLastHead = static_cast<uint32_t>(std::max(0, ParseDecimalPrefix(line.substr(5))));
    if (ClaimAhead(line))
        return;
    // Nothing sent ahead yet: the plan must name this command next (or be waiting), or the run
    // has left it.
    std::string next;
    const bool planned = NextPlanned(next);
    if (OldestAhead() != m_commands.end() || (planned && next != line) || (!planned && !m_plan)) {
        DropAhead(m_commands.begin());
        m_plan = nullptr;
        m_next.reset();
    }
    Transmit(First(), std::string(line), true);
}

// Sent ahead already, maybe behind commands the run has left (the rest of a set it passed over,
// the body of an article it passed over): those are dropped, the plan goes on.
bool CCommandPipeline::ClaimAhead(std::string_view line) {
    const Commands::iterator ahead =
        std::find_if(m_commands.begin(), m_commands.end(), [line](const Command& command) {
            return IsAhead(command) && command.text == line;
        });
    if (ahead == m_commands.end())
        return false;
    DropAhead(m_commands.begin(), ahead);
    if (!ahead->resend) {
        ahead->claimed = true;
        m_claims.push_back(ahead);
        return true;
    }
    // Its reply was dropped to stay within the bound: asked again, behind the others.
    ahead->resend = false;
    if (ahead->complete)
        m_commands.erase(ahead);
    Transmit(First(), std::string(line), true);
    return true;
}

CCommandPipeline::Commands::iterator CCommandPipeline::Enqueue(Lane& lane, std::string text,
                                                               bool claimed, bool internal) {
    const Commands::iterator command = m_commands.insert(m_commands.end(), Command{});
    command->text = std::move(text);
    command->lane = &lane;
    command->claimed = claimed;
    command->internal = internal;
    m_nInternal += internal ? 1 : 0;
    lane.inFlight.push_back(command);
    if (claimed)
        m_claims.push_back(command);
    return command;
}

CCommandPipeline::Commands::iterator CCommandPipeline::Transmit(Lane& lane, std::string text,
                                                                bool claimed, bool internal) {
    lane.connection->SendLine(text);
    return Enqueue(lane, std::move(text), claimed, internal);
}

// Tops the commands in flight up to the plan's depth with its next commands, while the
// replies held stay within their bound.
void CCommandPipeline::SendAhead() {
    while ((m_plan || m_next) && m_commands.size() - m_nInternal < PlanLimit() &&
           m_nHeldBytes < kMaxHeldBytes) {
        std::string text;
        if (!NextPlanned(text))
            return;
        // The helpers open with the first command there is to send ahead, if not before.
        OpenLanes();
        const Commands::iterator command = m_commands.insert(m_commands.end(), Command{});
        command->text = std::move(text);
        if (!SendOn(LaneForAhead(), command)) {
            // The run's next command meets the same failure and handles it.
            m_commands.erase(command);
            m_plan = nullptr;
            m_next.reset();
            return;
        }
    }
}

// The depth is each connection's.
std::size_t CCommandPipeline::PlanLimit() const {
    return std::min(m_nPlanAhead, m_nDepth * OpenConnections());
}

// Sends a command of m_commands on a lane; a helper first selects the run's group. A helper
// that cannot send fails and the next lane takes the command. False when the first
// connection cannot send either.
bool CCommandPipeline::SendOn(Lane* lane, Commands::iterator command) {
    for (;;) {
        try {
            if (!lane->primary && lane->group != m_group) {
                Transmit(*lane, "GROUP " + m_group, false, true);
                lane->group = m_group;
            }
            lane->connection->SendLine(command->text);
            command->lane = lane;
            lane->inFlight.push_back(command);
            return true;
        } catch (const CConnectionException&) {
            if (lane->primary)
                return false;
            FailHelper(*lane, true);
            lane = LaneForAhead();
        }
    }
}

// The logged-in connection with the fewest replies still to come; the first on a tie.
CCommandPipeline::Lane* CCommandPipeline::LaneForAhead() {
    Lane* best = &First();
    for (const auto& lane : m_lanes)
        if (lane->ready && lane->inFlight.size() < best->inFlight.size())
            best = lane.get();
    return best;
}

void CCommandPipeline::Discard(Command& command) {
    ReleaseHeld(command);
    command.dropped = true;
}

void CCommandPipeline::ReleaseHeld(Command& command) {
    m_nHeldBytes -= Footprint(command.held);
    Recycle(command.held);
}

// Emptied reply buffers are used again: a reply held in fresh memory costs its growth's copies
// and a page fault for every page, as much as the copy of its lines itself. The buffer is left
// without storage either way.
void CCommandPipeline::Recycle(std::string& buffer) {
    std::string taken;
    taken.swap(buffer);
    if (taken.capacity() > kMaxSpareCapacity || m_spareBuffers.size() >= kSpareBuffers)
        return;
    taken.clear();
    m_spareBuffers.push_back(std::move(taken));
}

// Commands sent ahead, from `command` to `end`, that the run will not ask for: complete replies go,
// the others are read and dropped as they arrive.
void CCommandPipeline::DropAhead(Commands::iterator command, Commands::iterator end) {
    while (command != end) {
        if (command->claimed || command->internal) {
            ++command;
            continue;
        }
        Discard(*command);
        command->resend = false;
        if (command->complete) {
            command = m_commands.erase(command);
            continue;
        }
        ++command;
    }
}

CCommandPipeline::Commands::iterator CCommandPipeline::OldestAhead() {
    return std::find_if(m_commands.begin(), m_commands.end(), IsAhead);
}

// ---------------------------------------------------------------------------------------------
// Replies

bool CCommandPipeline::EndsReply(Command& command, std::string_view line) {
    if (command.statusSeen)
        return line == ".";
    command.statusSeen = true;
    const int32_t code = ParseDecimalPrefix(line);
    command.multiLine = (IsHead(command.text) && code == 221) ||
                        (IsBody(command.text) && code == 222) ||
                        (IsOverview(command.text) && code == 224) ||
                        (command.text.starts_with("LIST ") && code == 215);
    return !command.multiLine;
}

// A line of a reply the run does not take yet. A reply sent ahead that would pass the bound is
// dropped instead, and asked for again if the run wants it; one the run waits for on a helper is
// asked for again on the first connection, where it reaches the run as it arrives.
void CCommandPipeline::Hold(Commands::iterator command, std::string_view line) {
    const bool over = m_nHeldBytes + line.size() > kMaxHeldBytes;
    if (over && !command->claimed) {
        Discard(*command);
        command->resend = true;
        ++m_nResent;
        return;
    }
    if (over && !command->lane->primary && !command->complete) {
        // The rest of this reply on the helper is read and dropped.
        Lane& lane = *command->lane;
        const Commands::iterator drain = m_commands.insert(m_commands.end(), Command{});
        drain->text = command->text;
        drain->lane = &lane;
        drain->statusSeen = true;
        drain->multiLine = command->multiLine;
        drain->dropped = true;
        std::replace(lane.inFlight.begin(), lane.inFlight.end(), command, drain);
        return MoveToFirst(command);
    }
    std::string& held = command->held;
    m_nHeldBytes -= Footprint(held);
    if (held.empty() && !m_spareBuffers.empty()) {
        held.swap(m_spareBuffers.back());
        m_spareBuffers.pop_back();
    }
    held.append(line);
    held.push_back('\n');
    m_nHeldBytes += Footprint(held);
}

// A command the helper it went to will not answer now is sent again on the first connection,
// keeping its place among the run's commands and the plan's.
void CCommandPipeline::MoveToFirst(Commands::iterator command) {
    ++m_nMoved;
    ReleaseHeld(*command);
    command->statusSeen = command->multiLine = command->complete = false;
    if (!SendOn(&First(), command)) {
        command->complete = true;
        m_bFirstBroken = true;
    }
}

bool CCommandPipeline::LaneLine(Lane& lane, std::string_view line) {
    // A line with no command to answer (nothing a server should send) goes to the run as it
    // would without the pipeline; a helper's is dropped.
    if (lane.inFlight.empty())
        return lane.primary ? m_owner.OnResponseLine(line) : true;
    const std::size_t heldBefore = m_nHeldBytes;
    const Commands::iterator command = lane.inFlight.front();
    const bool last = EndsReply(*command, line);
    if (last) {
        command->complete = true;
        lane.inFlight.pop_front();
    }
    if (command->internal) {
        HelperReply(lane, command, line);
        return ReportFirstBroken();
    }
    bool more = true;
    const bool taken = lane.primary && !m_claims.empty() && m_claims.front() == command;
    if (taken && !command->HasHeld()) {
        if (last) {
            m_claims.pop_front();
            m_commands.erase(command);
        }
        const std::shared_ptr<bool> alive = m_alive;
        more = m_owner.OnResponseLine(line);
        if (!*alive)
            return false;
    } else if (command->dropped) {
        if (last && !command->resend)
            m_commands.erase(command);
    } else {
        Hold(command, line);
    }
    if (!DeliverHeld())
        return false;
    // Only a reply that ended or held lines let go of make room for more commands ahead; the
    // run's own commands top them up themselves.
    if (last || m_nHeldBytes < heldBefore)
        SendAhead();
    if (!ReportFirstBroken())
        return false;
    return lane.primary ? more : true;
}

// Hands the run the held lines of the reply it waits for (a helper's once all of it is in);
// the run may then ask for another whose reply is held as well. False when the run deleted the
// pipeline meanwhile.
bool CCommandPipeline::DeliverHeld() {
    while (!m_claims.empty() && m_claims.front()->HasHeld()) {
        const Commands::iterator command = m_claims.front();
        if (!command->complete && !command->lane->primary)
            return true;
        // The lines are handed over from a buffer of their own, which outlives the pipeline if
        // the run deletes it meanwhile; a close in between ends the delivery.
        m_nHeldBytes -= Footprint(command->held);
        std::string held = std::move(command->held);
        command->held.clear();
        std::size_t pos = 0;
        if (command->complete) {
            m_claims.pop_front();
            m_commands.erase(command);
        }
        const std::shared_ptr<bool> alive = m_alive;
        const unsigned generation = m_nGeneration;
        while (pos < held.size()) {
            const std::size_t end = held.find('\n', pos);
            m_owner.OnResponseLine(std::string_view(held).substr(pos, end - pos));
            if (!*alive)
                return false;
            if (generation != m_nGeneration)
                return true;
            pos = end + 1;
        }
        Recycle(held);
    }
    return true;
}

// A failure to send on the first connection found inside a helper's call reaches the run as
// that connection's error. False when the run deleted the pipeline meanwhile.
bool CCommandPipeline::ReportFirstBroken() {
    if (!std::exchange(m_bFirstBroken, false))
        return true;
    const std::shared_ptr<bool> alive = m_alive;
    m_owner.OnConnectionError(CSocketOwnerWnd::kSocketNotification, kConnectionReset);
    return *alive;
}

void CCommandPipeline::LaneError(Lane& lane, int notification, int error) {
    if (lane.primary)
        return m_owner.OnConnectionError(notification, error);
    // A helper with nothing to answer that times out has only been idle too long: it may open
    // again with the next plan.
    const bool idle = notification == CSocketOwnerWnd::kTimerNotification && lane.inFlight.empty();
    DebugTrace(1, "Helper connection to %s ended (%d, %d)\n", m_server.c_str(), notification,
               error);
    FailHelper(lane, !idle);
    if (DeliverHeld()) {
        SendAhead();
        ReportFirstBroken();
    }
}

// ---------------------------------------------------------------------------------------------
// Helpers

void CCommandPipeline::OpenHelpers() {
    m_bLoggedIn = true;
    OpenLanes();
}

// Opens the helpers the server may have, once the run is logged in.
void CCommandPipeline::OpenLanes() {
    // Called for every command sent ahead: most calls find every helper open already.
    if (!m_bLoggedIn || OpenConnections() >= m_nUsable)
        return;
    for (const auto& lane : m_lanes) {
        if (lane->primary || lane->open || OpenConnections() >= m_nUsable)
            continue;
        lane->open = true;
        lane->ready = false;
        lane->loginSent = 0;
        lane->group.clear();
        lane->connection = m_factory(m_server, *lane);
        if (!lane->connection) {
            lane->open = false;
            m_nUsable = OpenConnections();
            return;
        }
        Enqueue(*lane, kGreeting, false, true);
        try {
            lane->connection->Start();
        } catch (const CConnectionException&) {
            FailHelper(*lane, true);
        }
    }
}

// A reply to a helper's own command: on with its login, or the helper fails. A server that
// refuses a connection (400, 502 for too many) gets no more than it has now.
void CCommandPipeline::HelperReply(Lane& lane, Commands::iterator command, std::string_view line) {
    const std::string text = std::move(command->text);
    m_commands.erase(command);
    --m_nInternal;
    if (!Accepted(text, ParseDecimalPrefix(line))) {
        DebugTrace(1, "Helper connection to %s refused: %.*s\n", m_server.c_str(),
                   static_cast<int>(line.size()), line.data());
        return FailHelper(lane, true);
    }
    if (!lane.ready)
        ContinueLogin(lane);
}

// The run's login, one command at a time, then the helper takes commands sent ahead.
void CCommandPipeline::ContinueLogin(Lane& lane) {
    if (lane.loginSent < m_login.size()) {
        try {
            Transmit(lane, m_login[lane.loginSent++], false, true);
        } catch (const CConnectionException&) {
            FailHelper(lane, true);
        }
        return;
    }
    lane.ready = true;
    DebugTrace(1, "Helper connection to %s logged in (%zu open)\n", m_server.c_str(),
               OpenConnections());
    SendAhead();
}

// Closes a helper; what it had not answered goes to the first connection. With `shrink` the
// server gets no more helpers than are open now.
void CCommandPipeline::FailHelper(Lane& lane, bool shrink) {
    if (!lane.open)
        return;
    lane.open = false;
    lane.ready = false;
    lane.connection->Close();
    lane.connection.reset();
    const std::deque<Commands::iterator> unanswered = std::move(lane.inFlight);
    lane.inFlight.clear();
    if (shrink) {
        m_nUsable = OpenConnections();
        DebugTrace(1, "Connections to %s now: %zu\n", m_server.c_str(), m_nUsable);
    }
    for (const Commands::iterator command : unanswered) {
        if (command->internal || (command->dropped && !command->resend)) {
            m_nInternal -= command->internal ? 1 : 0;
            m_commands.erase(command);
        } else if (command->dropped) {
            command->complete = true; // asked for again when the run comes to it
        } else {
            MoveToFirst(command);
        }
    }
}
