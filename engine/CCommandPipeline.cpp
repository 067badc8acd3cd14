#include "engine/CCommandPipeline.h"

#include "engine/HeaderParsing.h"

#include "platform/ConnectionErrors.h"
#include <algorithm>

namespace {

bool IsHead(std::string_view command) {
    return command.starts_with("HEAD ");
}

bool IsBody(std::string_view command) {
    return command == "BODY" || command.starts_with("BODY ");
}

} // namespace

CCommandPipeline::CCommandPipeline(const NewsConnectionFactory& factory, const std::string& server,
                                   CSocketOwnerWnd& owner, std::size_t depth)
    : m_owner(owner), m_pConnection(factory(server, *this)), m_nDepth(depth),
      m_reading(m_commands.end()) {}

CCommandPipeline::~CCommandPipeline() {
    *m_alive = false;
}

void CCommandPipeline::SetPlan(Plan plan, std::size_t ahead) {
    m_plan = std::move(plan);
    m_nPlanDepth = std::min(ahead, m_nDepth);
    SendAhead();
}

// The greeting is the reply to the connect: the run waits for it as for a command's.
void CCommandPipeline::Start() {
    m_commands.clear();
    m_claims.clear();
    m_nHeldBytes = 0;
    m_commands.push_back({});
    m_commands.back().claimed = true;
    m_reading = m_commands.begin();
    m_claims.push_back(m_reading);
    m_pConnection->Start();
}

void CCommandPipeline::Close() {
    m_pConnection->Close();
    m_commands.clear();
    m_claims.clear();
    m_reading = m_commands.end();
    m_nHeldBytes = 0;
    m_plan = nullptr;
}

// A command of the run. Its reply is handed over once the replies before it are in, from the
// connection's callbacks (the run sends only from inside them), never from here: the run is
// still in its own call then.
void CCommandPipeline::SendLine(std::string_view line) {
    if (IsHead(line) || line.starts_with("BODY ")) {
        Claim(line);
    } else {
        std::string text(line);
        if (line == "BODY" && m_nDepth > 1)
            text = "BODY " + std::to_string(m_uLastHead);
        if (!IsBody(line)) {
            // The walk is over (a new group, a login): what was sent ahead is not wanted.
            DropAhead();
            m_plan = nullptr;
        }
        Transmit(std::move(text), true);
    }
    SendAhead();
}

void CCommandPipeline::Claim(std::string_view line) {
    if (IsHead(line))
        m_uLastHead = static_cast<uint32_t>(std::max(0, ParseDecimalPrefix(line.substr(5))));
    const Commands::iterator ahead = OldestAhead();
    if (ahead != m_commands.end() && ahead->text == line) {
        if (!ahead->resend) {
            ahead->claimed = true;
            m_claims.push_back(ahead);
            return;
        }
        // Its reply was dropped to stay within the bound: asked again, behind the others.
        ahead->resend = false;
        if (ahead->complete)
            m_commands.erase(ahead);
        return Transmit(std::string(line), true);
    }
    // Nothing sent ahead yet: the plan must name this command next, or the run has left it.
    std::string next;
    if (ahead != m_commands.end() || !m_plan || !m_plan(next) || next != line) {
        DropAhead();
        m_plan = nullptr;
    }
    Transmit(std::string(line), true);
}

void CCommandPipeline::Transmit(std::string text, bool claimed) {
    m_pConnection->SendLine(text);
    m_commands.push_back({});
    const Commands::iterator command = std::prev(m_commands.end());
    command->text = std::move(text);
    command->claimed = claimed;
    if (claimed)
        m_claims.push_back(command);
    if (m_reading == m_commands.end())
        m_reading = command;
}

// Tops the commands in flight up to the plan's depth with its next commands, while the
// replies held stay within their bound.
void CCommandPipeline::SendAhead() {
    while (m_plan && m_commands.size() < m_nPlanDepth && m_nHeldBytes < kMaxHeldBytes) {
        std::string command;
        if (!m_plan(command)) {
            m_plan = nullptr;
            return;
        }
        try {
            Transmit(std::move(command), false);
        } catch (const CConnectionException&) {
            // The run's next command meets the same failure and handles it.
            m_plan = nullptr;
            return;
        }
    }
}

void CCommandPipeline::Discard(Command& command) {
    for (const std::string& line : command.held)
        m_nHeldBytes -= line.size();
    command.held.clear();
    command.dropped = true;
}

// Commands sent ahead that the run will not ask for: complete replies go, the others are read
// and dropped as they arrive.
void CCommandPipeline::DropAhead() {
    for (auto command = m_commands.begin(); command != m_commands.end();) {
        if (command->claimed) {
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
    for (auto command = m_commands.begin(); command != m_commands.end(); ++command)
        if (!command->claimed && (!command->dropped || command->resend))
            return command;
    return m_commands.end();
}

bool CCommandPipeline::EndsReply(Command& command, std::string_view line) {
    if (command.statusSeen)
        return line == ".";
    command.statusSeen = true;
    const int32_t code = ParseDecimalPrefix(line);
    command.multiLine =
        (IsHead(command.text) && code == 221) || (IsBody(command.text) && code == 222);
    return !command.multiLine;
}

// A line of a reply the run does not take yet. A reply sent ahead that would pass the bound is
// dropped instead, and asked for again if the run wants it.
void CCommandPipeline::Hold(Commands::iterator command, std::string_view line) {
    if (!command->claimed && m_nHeldBytes + line.size() > kMaxHeldBytes) {
        Discard(*command);
        command->resend = true;
        return;
    }
    command->held.emplace_back(line);
    m_nHeldBytes += line.size();
}

bool CCommandPipeline::OnResponseLine(std::string_view line) {
    const std::shared_ptr<bool> alive = m_alive;
    // A line with no command to answer (nothing a server should send) goes to the run as it
    // would without the pipeline.
    if (m_reading == m_commands.end())
        return m_owner.OnResponseLine(line);
    const Commands::iterator command = m_reading;
    const bool last = EndsReply(*command, line);
    if (last) {
        command->complete = true;
        m_reading = std::next(command);
    }
    bool more = true;
    const bool taken = !m_claims.empty() && m_claims.front() == command;
    if (taken && command->held.empty()) {
        if (last) {
            m_claims.pop_front();
            m_commands.erase(command);
        }
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
    SendAhead();
    return more;
}

// Hands the run the held lines of the reply it waits for; the run may then ask for another
// whose reply is held as well. False when the run deleted the pipeline meanwhile.
bool CCommandPipeline::DeliverHeld() {
    const std::shared_ptr<bool> alive = m_alive;
    while (!m_claims.empty() && !m_claims.front()->held.empty()) {
        const Commands::iterator command = m_claims.front();
        std::string line = std::move(command->held.front());
        command->held.pop_front();
        m_nHeldBytes -= line.size();
        if (command->held.empty() && command->complete) {
            m_claims.pop_front();
            m_commands.erase(command);
        }
        m_owner.OnResponseLine(line);
        if (!*alive)
            return false;
    }
    return true;
}

void CCommandPipeline::OnConnectionError(int notification, int error) {
    m_owner.OnConnectionError(notification, error);
}

void CCommandPipeline::OnIdle() {
    m_owner.OnIdle();
}
