#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/CConsoleGroupProgress.h"
#include "platform/ConnectionErrors.h"
#include "servers/IGroupListHost.h"

// A blocking connection that plays a LIST reply, or fails the way it was told to.
class ListConnection : public IBlockingConnection {
  public:
    enum class Outcome { List, Fail, Cancel };
    ListConnection(Outcome outcome, std::vector<std::string> lines, std::function<void()> onRead)
        : m_outcome(outcome), m_lines(std::move(lines)), m_onRead(std::move(onRead)) {}

    void Connect() override {
        if (m_outcome == Outcome::Fail)
            throw CConnectionException("Connection refused", 10061);
        if (m_outcome == Outcome::Cancel)
            throw CUserCancelException();
    }
    void SendLine(std::string_view) override {}
    std::string ReadLine() override {
        if (m_onRead)
            m_onRead();
        return m_next < m_lines.size() ? m_lines[m_next++] : std::string(".");
    }
    int ExpectCode(int code) override { return code; }
    void Close() override {}

  private:
    Outcome m_outcome;
    std::vector<std::string> m_lines;
    std::function<void()> m_onRead;
    std::size_t m_next = 0;
};

// The group-list host of the console, with connections from a script.
class ListHost : public IGroupListHost {
  public:
    ListHost(std::ostream& err, ListConnection::Outcome outcome,
             std::vector<std::string> lines = {})
        : m_err(err), m_outcome(outcome), m_lines(std::move(lines)) {}
    std::unique_ptr<IBlockingConnection> MakeConnection(const std::string&) override {
        ++connections;
        return std::make_unique<ListConnection>(m_outcome, m_lines, onRead);
    }
    std::unique_ptr<IGroupDownloadProgress> MakeProgress(const std::string& server) override {
        return std::make_unique<CConsoleGroupProgress>(m_err, false, server, cancelled);
    }
    void EnableMainWindow(bool) override {}
    int connections = 0;
    std::function<void()> onRead;    // called before each reply line is read
    std::function<bool()> cancelled; // the download's Cancel

  private:
    std::ostream& m_err;
    ListConnection::Outcome m_outcome;
    std::vector<std::string> m_lines;
};
