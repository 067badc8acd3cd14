#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/CSocketOwnerWnd.h"
#include "engine/INewsConnection.h"
#include "platform/ConnectionErrors.h"

// A news server played from a script. Expectations (a connection start, a command, the QUIT
// of a close) are met by the run's calls on the connection; actions (reply lines, a
// connection error, a user stop or catch-up) are performed by Play() on the run, in order.
// Lines go only to a connection that is started and not closed, as a real one would.
class ScriptedServer {
  public:
    enum class Kind { Start, StartFails, Send, SendFails, Quit, Line, Error, Call };

    struct Step {
        Step(Kind k, std::string t, int n = 0, int e = 0, std::function<void()> c = {})
            : kind(k), text(std::move(t)), notification(n), error(e), call(std::move(c)) {}
        Kind kind;
        std::string text;
        int notification;
        int error;
        std::function<void()> call;
    };

    ScriptedServer& Accept(const std::string& server) { return Add({Kind::Start, server}); }
    ScriptedServer& RefuseStart(const std::string& server) {
        return Add({Kind::StartFails, server});
    }
    ScriptedServer& Expect(const std::string& command) { return Add({Kind::Send, command}); }
    ScriptedServer& RefuseSend(const std::string& command) {
        return Add({Kind::SendFails, command});
    }
    ScriptedServer& Quit() { return Add({Kind::Quit, "QUIT"}); }
    ScriptedServer& Reply(const std::string& line) { return Add({Kind::Line, line}); }
    ScriptedServer& Reply(const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            Reply(line);
        return *this;
    }
    ScriptedServer& Error(int notification, int error) {
        return Add({Kind::Error, "", notification, error});
    }
    // Runs a call on the run at this point (a stop, a catch-up of the current group).
    ScriptedServer& Then(std::function<void()> call) {
        return Add({Kind::Call, "", 0, 0, std::move(call)});
    }

    NewsConnectionFactory Factory();

    // Performs the actions until the script ends or the run breaks it.
    void Play(CSocketOwnerWnd& owner) {
        while (!m_broken && m_pos < m_steps.size()) {
            Step& step = m_steps[m_pos];
            switch (step.kind) {
            case Kind::Line: {
                ++m_pos;
                if (!m_live) {
                    Fail("line \"" + step.text + "\" for a connection that is not open");
                    return;
                }
                std::string line = step.text;
                owner.OnResponseLine(line);
                break;
            }
            case Kind::Error:
                ++m_pos;
                owner.OnConnectionError(step.notification, step.error);
                break;
            case Kind::Call:
                ++m_pos;
                step.call();
                break;
            default:
                Fail("the run never did: " + Describe(step));
                return;
            }
        }
    }

    bool Done() const { return !m_broken && m_pos == m_steps.size(); }
    // Every command and connection event the run caused, in order.
    const std::vector<std::string>& Transcript() const { return m_transcript; }

    // Called by the connections.
    void OnStart(const std::string& server) {
        m_transcript.push_back("start " + server);
        const Kind kind = Next();
        if (kind == Kind::StartFails && m_steps[m_pos].text == server) {
            ++m_pos;
            throw CConnectionException("lookup refused");
        }
        if (!Match(Kind::Start, server))
            throw CConnectionException("unexpected start");
        m_live = true;
    }
    void OnSend(const std::string& command) {
        m_transcript.push_back(command);
        if (!m_live)
            Fail("command \"" + command + "\" on a connection that is not open");
        if (Next() == Kind::SendFails && m_steps[m_pos].text == command) {
            ++m_pos;
            throw CConnectionException("send failed");
        }
        if (!Match(Kind::Send, command))
            throw CConnectionException("unexpected command");
    }
    void OnClose() {
        if (!m_live)
            return;
        m_live = false;
        m_transcript.push_back("QUIT");
        Match(Kind::Quit, "QUIT");
    }

  private:
    ScriptedServer& Add(Step step) {
        m_steps.push_back(std::move(step));
        return *this;
    }
    Kind Next() const { return m_pos < m_steps.size() ? m_steps[m_pos].kind : Kind::Call; }
    bool Match(Kind kind, const std::string& text) {
        if (m_pos < m_steps.size() && m_steps[m_pos].kind == kind && m_steps[m_pos].text == text) {
            ++m_pos;
            return true;
        }
        Fail("unexpected \"" + text + "\"; script expected: " +
             (m_pos < m_steps.size() ? Describe(m_steps[m_pos]) : std::string("nothing more")));
        return false;
    }
    void Fail(const std::string& what) {
        if (!m_broken)
            ADD_FAILURE() << what << " (script step " << m_pos << ")";
        m_broken = true;
    }
    static std::string Describe(const Step& step) {
        static const char* const names[] = {"start", "refused start", "command", "failed command",
                                            "QUIT",  "line",          "error",   "call"};
        return std::string(names[static_cast<int>(step.kind)]) + " \"" + step.text + "\"";
    }

    std::vector<Step> m_steps;
    size_t m_pos = 0;
    bool m_live = false;
    bool m_broken = false;
    std::vector<std::string> m_transcript;
};

class ScriptedConnection : public INewsConnection {
  public:
    ScriptedConnection(ScriptedServer& server, std::string name)
        : m_server(server), m_name(std::move(name)) {}
    void Start() override { m_server.OnStart(m_name); }
    void SendLine(std::string_view line) override { m_server.OnSend(std::string(line)); }
    void Close() override { m_server.OnClose(); }

  private:
    ScriptedServer& m_server;
    std::string m_name;
};

inline NewsConnectionFactory ScriptedServer::Factory() {
    return [this](const std::string& server, CSocketOwnerWnd&) {
        return std::make_unique<ScriptedConnection>(*this, server);
    };
}
