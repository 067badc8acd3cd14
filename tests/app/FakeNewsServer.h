#pragma once

#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/CSocketOwnerWnd.h"
#include "engine/INewsConnection.h"
#include "platform/ConnectionErrors.h"

// A news server that answers the run's commands on the event loop, one posted event per
// reply line, like the real connection. Articles are stored per group by number.
class FakeNewsServer {
  public:
    struct Article {
        std::vector<std::string> headers;
        std::vector<std::string> body;
    };
    using Hook = std::function<void(CSocketOwnerWnd& owner)>;

    std::map<std::string, std::map<uint32_t, Article>> groups;
    std::set<std::string> unreachable;  // servers whose host lookup fails
    std::set<std::string> unresolvable; // servers whose lookup cannot even be started
    bool refusePassword = false;        // AUTHINFO PASS is answered with 502
    bool stallBodies = false;           // bodies never end (no "." line): the server hangs
    // Called after the reply lines of the named command were queued ("BODY" for any body).
    std::map<std::string, Hook> afterReply;
    std::vector<std::string> commands; // every command received, QUIT included
    int connections = 0;

    NewsConnectionFactory Factory();

    std::vector<std::string> Answer(const std::string& command) {
        if (command.rfind("MODE READER", 0) == 0)
            return {"200 reader"};
        if (command.rfind("AUTHINFO USER", 0) == 0)
            return {"381 password please"};
        if (command.rfind("AUTHINFO PASS", 0) == 0)
            return {refusePassword ? "502 no" : "281 ok"};
        if (command.rfind("GROUP ", 0) == 0)
            return GroupReply(command.substr(6));
        if (command.rfind("HEAD ", 0) == 0)
            return HeadReply(static_cast<uint32_t>(std::stoul(command.substr(5))));
        if (command == "BODY")
            return BodyReply();
        if (command.rfind("BODY ", 0) == 0)
            return NumberedBodyReply(static_cast<uint32_t>(std::stoul(command.substr(5))));
        return {"500 what?"};
    }

  private:
    std::vector<std::string> GroupReply(const std::string& name) {
        const auto it = groups.find(name);
        if (it == groups.end())
            return {"411 no such group"};
        m_pCurrent = &it->second;
        const uint32_t first = it->second.empty() ? 0 : it->second.begin()->first;
        const uint32_t last = it->second.empty() ? 0 : it->second.rbegin()->first;
        return {"211 " + std::to_string(it->second.size()) + " " + std::to_string(first) + " " +
                std::to_string(last) + " " + name};
    }
    std::vector<std::string> HeadReply(uint32_t number) {
        if (!m_pCurrent || m_pCurrent->count(number) == 0)
            return {"423 no such article"};
        m_pArticle = &m_pCurrent->at(number);
        std::vector<std::string> lines{"221 " + std::to_string(number) + " <a@b>"};
        lines.insert(lines.end(), m_pArticle->headers.begin(), m_pArticle->headers.end());
        lines.push_back(".");
        return lines;
    }
    std::vector<std::string> BodyReply() {
        if (!m_pArticle)
            return {"420 no article selected"};
        std::vector<std::string> lines{"222 0 <a@b>"};
        if (stallBodies) {
            // The first half of the body, then silence.
            const auto half = static_cast<std::ptrdiff_t>(m_pArticle->body.size() / 2);
            lines.insert(lines.end(), m_pArticle->body.begin(), m_pArticle->body.begin() + half);
            return lines;
        }
        lines.insert(lines.end(), m_pArticle->body.begin(), m_pArticle->body.end());
        lines.push_back(".");
        return lines;
    }

    std::vector<std::string> NumberedBodyReply(uint32_t number) {
        if (!m_pCurrent || m_pCurrent->count(number) == 0)
            return {"423 no such article"};
        m_pArticle = &m_pCurrent->at(number);
        return BodyReply();
    }

    std::map<uint32_t, Article>* m_pCurrent = nullptr;
    Article* m_pArticle = nullptr;
};

// The run's connection to a FakeNewsServer. Queued lines of a closed or destroyed
// connection are dropped, as the real one drops those of an earlier generation.
class FakeConnection : public INewsConnection {
  public:
    FakeConnection(FakeNewsServer& server, std::string name, CSocketOwnerWnd& owner)
        : m_server(server), m_name(std::move(name)), m_owner(owner) {}
    ~FakeConnection() override { *m_alive = false; }

    void Start() override {
        ++m_server.connections;
        ++m_generation;
        if (m_server.unresolvable.count(m_name) != 0)
            throw CConnectionException("lookup refused", 11001);
        m_open = true;
        if (m_server.unreachable.count(m_name) != 0) {
            Post([this] { m_owner.OnConnectionError(CSocketOwnerWnd::kHostFound, 11001); });
            return;
        }
        Queue({"200 fake news server ready"});
    }
    void SendLine(std::string_view line) override {
        const std::string command(line);
        m_server.commands.push_back(command);
        if (!m_open)
            throw CConnectionException("not connected");
        Queue(m_server.Answer(command));
        const std::string key = command.rfind("BODY", 0) == 0 ? "BODY" : command;
        const auto hook = m_server.afterReply.find(key);
        if (hook != m_server.afterReply.end()) {
            const FakeNewsServer::Hook call = hook->second;
            Post([this, call] { call(m_owner); });
        }
    }
    void Close() override {
        if (m_open)
            m_server.commands.push_back("QUIT");
        m_open = false;
        ++m_generation;
    }

  private:
    void Queue(const std::vector<std::string>& lines) {
        for (const std::string& text : lines) {
            Post([this, text] {
                std::string line = text;
                m_owner.OnResponseLine(line);
            });
        }
    }
    // Runs `call` from the event loop unless this connection was closed or destroyed since.
    void Post(std::function<void()> call) {
        std::weak_ptr<bool> alive = m_alive;
        const unsigned generation = m_generation;
        QTimer::singleShot(0, [this, alive, generation, call] {
            if (alive.expired() || generation != m_generation)
                return;
            call();
        });
    }

    FakeNewsServer& m_server;
    std::string m_name;
    CSocketOwnerWnd& m_owner;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    unsigned m_generation = 0;
    bool m_open = false;
};

inline NewsConnectionFactory FakeNewsServer::Factory() {
    return [this](const std::string& name, CSocketOwnerWnd& owner) {
        return std::make_unique<FakeConnection>(*this, name, owner);
    };
}
