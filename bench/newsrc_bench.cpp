// Group-table figures for a server with 120,000 groups: .newsrc load and save, and
// LIST lines inserted in server (name) order, in shuffled order and with a previous
// table whose state is carried over. Prints the best of several rounds in ms.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "servers/CGroupTable.h"

namespace {

constexpr int kGroups = 120000;
constexpr int kRounds = 5;
constexpr const char* kServer = "bench.example.com";

std::vector<std::string> MakeNames() {
    static const char* const words[] = {"alt",  "binaries", "comp", "misc", "pictures", "sounds",
                                        "test", "news",     "sci",  "rec",  "games",    "linux"};
    std::mt19937 random(42);
    std::vector<std::string> names;
    names.reserve(kGroups);
    for (int i = 0; i < kGroups; ++i) {
        std::string name = words[random() % 12];
        for (int part = 0; part < 3; ++part) {
            name += '.';
            name += words[random() % 12];
        }
        name += '.' + std::to_string(i);
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

Figures Best(const std::function<void()>& run) {
    Figures best;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuMs();
        run();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        best.Keep(took.count(), CpuMs() - cpuStart);
    }
    return best;
}

void Print(const char* what, const Figures& figures) {
    std::printf("%-38s %8.1f ms wall %8.1f ms cpu\n", what, figures.wallMs, figures.cpuMs);
}

void WriteNewsrc(const std::string& path, const std::vector<std::string>& names) {
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i % 50 == 0) {
            out << names[i] << ": " << 100000 + i << ' ' << 99990 + i << ' ' << 99995 + i << '\n';
        } else {
            out << names[i] << "! 0\n";
        }
    }
}

std::vector<std::string> ListLines(const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    lines.reserve(names.size());
    for (const std::string& name : names) {
        lines.push_back(name + " 0000123456 0000100000 y");
    }
    return lines;
}

void Insert(CProfile& profile, const std::vector<std::string>& lines, const CGroupTable* previous) {
    CGroupTable table(profile, kServer);
    for (const std::string& line : lines) {
        table.AddListLine(line, previous);
    }
    if (table.GetCount() != lines.size()) {
        std::fprintf(stderr, "lost groups: %zu of %zu\n", table.GetCount(), lines.size());
        std::exit(1);
    }
}

} // namespace

int main() {
    std::string folder = (std::filesystem::temp_directory_path() / "gwbench-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("GLEANWICK_HOME", folder.c_str(), 1);
    CHive hive;
    CProfile profile(hive);

    const std::vector<std::string> names = MakeNames();
    WriteNewsrc(folder + "/" + kServer + ".newsrc", names);
    const Figures loadSave = Best([&] {
        CGroupTable table(profile, kServer);
        table.Load();
        table.Save();
    });

    const std::vector<std::string> inOrder = ListLines(names);
    std::vector<std::string> mixed = inOrder;
    std::shuffle(mixed.begin(), mixed.end(), std::mt19937(7));
    const Figures sorted = Best([&] { Insert(profile, inOrder, nullptr); });
    const Figures shuffled = Best([&] { Insert(profile, mixed, nullptr); });

    CGroupTable previous(profile, kServer);
    previous.Load();
    const Figures reset = Best([&] { Insert(profile, inOrder, &previous); });

    std::printf("groups: %d, best of %d rounds\n", kGroups, kRounds);
    Print("load + save .newsrc (with backup)", loadSave);
    Print("AddListLine, server order", sorted);
    Print("AddListLine, shuffled order", shuffled);
    Print("AddListLine, server order + previous", reset);
    std::filesystem::remove_all(folder);
    return 0;
}
