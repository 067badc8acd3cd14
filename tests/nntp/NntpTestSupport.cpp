#include "NntpTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

#include "nntp/CLogonPrompt.h"

namespace {

// Qt Network needs an application object; one for the whole test run.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_nntp";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

  private:
    std::unique_ptr<QCoreApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const g_qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

bool PumpUntil(const std::function<bool()>& done, int ms) {
    QTimer tick; // wakes the loop so the condition is looked at often
    tick.start(5);
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

void RecordingOwner::OnConnectionError(int notification, int error) {
    errors.emplace_back(notification, error);
    if (onError)
        onError(notification, error);
}

bool RecordingOwner::OnResponseLine(std::string_view line) {
    lines.emplace_back(line);
    return onLine ? onLine(line) : true;
}

void NntpTest::TearDown() {
    CLogonPrompt::Install({});
    // Sockets released with deleteLater go now, so that none outlives its test.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void NntpTest::Configure(const std::string& server, unsigned port, unsigned timeoutMs) {
    m_profile.WriteProfileInt(Section(server), "Port", port);
    m_profile.WriteProfileInt(Section(server), "Timeout", timeoutMs);
}
