#pragma once

#include <algorithm>
#include <ctime>

// CPU time of the process in milliseconds: on a busy machine the steadier figure.
inline double CpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Best wall-clock and best CPU time of several rounds.
struct Figures {
    double wallMs = 1e30;
    double cpuMs = 1e30;

    void Keep(double wall, double cpu) {
        wallMs = std::min(wallMs, wall);
        cpuMs = std::min(cpuMs, cpu);
    }
};
