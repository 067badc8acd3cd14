// Newsgroups dialog figures for a server with 120,000 groups: opening the dialog (the list
// built and painted), one re-filter by typed text, tab switches, and subscribing 1,000 selected
// groups. Prints the best of several rounds in ms; runs on the offscreen platform.
#include <QApplication>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/gui/HelpIds.h"
#include "bench/BenchFigures.h"
#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "servers/CGroupTable.h"
#include "servers/gui/CNewsgroupsDlg.h"

namespace {

constexpr int kGroups = 120000;
constexpr int kRounds = 5;
constexpr int kSelected = 1000;
constexpr const char* kServer = "bench.example.com";
constexpr const char* kFilter = "sounds.linux";

// Counts the paints of a widget.
class PaintCounter : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++m_nPaints;
        return false;
    }

    // Handles events until the widget has been painted once more (at most a second).
    void WaitForPaint(int before) const {
        QTimer wake; // WaitForMoreEvents must not wait for ever
        wake.start(20);
        QElapsedTimer clock;
        clock.start();
        while (m_nPaints == before && clock.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    int Paints() const { return m_nPaints; }

  private:
    int m_nPaints = 0;
};

// Times `run` and the group list's repaint that follows, after an untimed `prepare`, each
// round on a newly opened dialog. Without `prepare` the opening itself is timed.
class Bench {
  public:
    explicit Bench(CProfile& profile) : m_profile(profile) {}

    Figures Best(const std::function<void(CNewsgroupsDlg&)>& prepare,
                 const std::function<void(CNewsgroupsDlg&)>& run) {
        Figures best;
        for (int round = 0; round < kRounds; ++round) {
            std::unique_ptr<CNewsgroupsDlg> dialog;
            if (prepare) {
                dialog = Open();
                prepare(*dialog);
                QCoreApplication::processEvents();
            }
            const int paints = m_counter.Paints();
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = CpuMs();
            if (!dialog)
                dialog = Open();
            run(*dialog);
            m_counter.WaitForPaint(paints);
            const std::chrono::duration<double, std::milli> took =
                std::chrono::steady_clock::now() - start;
            best.Keep(took.count(), CpuMs() - cpuStart);
        }
        return best;
    }

  private:
    std::unique_ptr<CNewsgroupsDlg> Open() {
        auto dialog = std::make_unique<CNewsgroupsDlg>(m_profile);
        qobject_cast<QTreeView*>(FindControl(dialog.get(), CNewsgroupsDlg::kGroupList))
            ->viewport()
            ->installEventFilter(&m_counter);
        dialog->resize(640, 480);
        dialog->show();
        return dialog;
    }

    CProfile& m_profile;
    PaintCounter m_counter;
};

template <class T> T* Control(const QWidget& dialog, uint32_t id) {
    return qobject_cast<T*>(FindControl(&dialog, id));
}

int Rows(const CNewsgroupsDlg& dialog) {
    return Control<QTreeView>(dialog, CNewsgroupsDlg::kGroupList)->model()->rowCount();
}

void Select(CNewsgroupsDlg& dialog, int first, int count, int stride) {
    auto* view = Control<QTreeView>(dialog, CNewsgroupsDlg::kGroupList);
    QItemSelection selection;
    for (int i = 0; i < count; ++i) {
        const QModelIndex row = view->model()->index(first + i * stride, 0);
        selection.select(row, row);
    }
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    // Rows out of view are not painted.
    view->scrollTo(view->model()->index(first, 0), QAbstractItemView::PositionAtTop);
}

void MakeTable(CProfile& profile) {
    static const char* const words[] = {"alt",  "binaries", "comp", "misc", "pictures", "sounds",
                                        "test", "news",     "sci",  "rec",  "games",    "linux"};
    std::mt19937 random(42);
    std::vector<std::string> names;
    for (int i = 0; i < kGroups; ++i) {
        std::string name = words[random() % 12];
        for (int part = 0; part < 3; ++part)
            name += std::string(".") + words[random() % 12];
        names.push_back(name + '.' + std::to_string(i));
    }
    std::sort(names.begin(), names.end());
    auto table = std::make_unique<CGroupTable>(profile, kServer);
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto record = std::make_unique<GroupRecord>();
        record->name = names[i];
        record->subscribed = i % 50 == 0;
        record->isNew = i % 20 == 0;
        table->Append(std::move(record));
    }
    // The "New" tab lists the table without asking the server.
    table->m_bListFetched = true;
    g_serverTables.push_back(std::move(table));
}

void Print(const char* what, const Figures& figures, int rows) {
    std::printf("%-44s %8.1f ms wall %8.1f ms cpu  %6d rows\n", what, figures.wallMs, figures.cpuMs,
                rows);
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string folder = (std::filesystem::temp_directory_path() / "gwbench-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("GLEANWICK_HOME", folder.c_str(), 1);
    QApplication app(argc, argv);
    CHive hive;
    CProfile profile(hive);
    MakeTable(profile);
    Bench bench(profile);
    int rows = 0;

    std::printf("groups: %d, best of %d rounds, platform %s\n", kGroups, kRounds,
                qPrintable(QGuiApplication::platformName()));
    const auto count = [&rows](CNewsgroupsDlg& dialog) { rows = Rows(dialog); };
    using Step = std::function<void(CNewsgroupsDlg&)>;
    const auto report = [&](const char* what, const Step& prepare, const Step& run) {
        const Figures figures = bench.Best(prepare, run);
        Print(what, figures, rows);
    };
    const Step nothing = [](CNewsgroupsDlg&) {};

    report("open (list built and painted)", nullptr, count);

    report(
        "re-filter by typed text",
        [](CNewsgroupsDlg& dialog) {
            QTest::keyClicks(Control<QLineEdit>(dialog, CNewsgroupsDlg::kFilterEdit), kFilter);
        },
        [&](CNewsgroupsDlg& dialog) {
            // What leaving the edit does; the timer's run is the same Refresh.
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            QCoreApplication::sendEvent(Control<QLineEdit>(dialog, CNewsgroupsDlg::kFilterEdit),
                                        &out);
            count(dialog);
        });

    const auto toTab = [&](int tab) -> Step {
        return [&, tab](CNewsgroupsDlg& dialog) {
            Control<QTabBar>(dialog, CNewsgroupsDlg::kTabs)->setCurrentIndex(tab);
            count(dialog);
        };
    };
    report("tab switch All -> Subscribed", nothing, toTab(1));
    report("tab switch All -> New", nothing, toTab(2));
    report("tab switch Subscribed -> All", toTab(1), toTab(0));

    const auto subscribe = [&](int selected) -> Step {
        return [&rows, selected](CNewsgroupsDlg& dialog) {
            Control<QPushButton>(dialog, CNewsgroupsDlg::kSubscribe)->click();
            rows = selected;
        };
    };
    report(
        "subscribe 1,000 selected (one block)",
        [](CNewsgroupsDlg& d) { Select(d, 5000, kSelected, 1); }, subscribe(kSelected));
    report(
        "subscribe 1,000 selected (every 100th)",
        [](CNewsgroupsDlg& d) { Select(d, 0, kSelected, 100); }, subscribe(kSelected));
    report(
        "subscribe all (Ctrl+A)",
        [](CNewsgroupsDlg& d) { Control<QTreeView>(d, CNewsgroupsDlg::kGroupList)->selectAll(); },
        subscribe(kGroups));

    g_serverTables.clear();
    std::filesystem::remove_all(folder);
    return 0;
}
