#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CSocketOwnerWnd.h"
#include "platform/CHive.h"
#include "platform/CProfile.h"

// Turns the event loop until `done` holds or `ms` have passed; true when it holds.
bool PumpUntil(const std::function<bool()>& done, int ms);
void PumpFor(int ms);

// An owner that records what the connection reports; hooks let a test act inside the
// calls (send a command, delete the connection).
class RecordingOwner : public CSocketOwnerWnd {
  public:
    void OnConnectionError(int notification, int error) override;
    bool OnResponseLine(std::string_view line) override;
    void OnIdle() override { linesAtIdle.push_back(lines.size()); }

    std::vector<std::string> lines;
    std::vector<std::pair<int, int>> errors;
    std::vector<std::size_t> linesAtIdle; // lines delivered at each OnIdle
    std::function<bool(std::string_view)> onLine;
    std::function<void(int, int)> onError;
};

// A profile in memory with one server's settings.
class NntpTest : public ::testing::Test {
  protected:
    void TearDown() override;
    void Configure(const std::string& server, unsigned port, unsigned timeoutMs);
    std::string Section(const std::string& server) const { return "Servers\\" + server; }

    CHive m_hive;
    CProfile m_profile{m_hive};
};
