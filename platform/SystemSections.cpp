#include "platform/SystemSections.h"

#include "platform/Diagnostics.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

struct LocaleEntry {
    std::string_view name;
    uint16_t id;
};

// Full locale names first; a bare language falls back to its first entry.
constexpr LocaleEntry kLocales[] = {
    {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409},
    {"en_IE", 0x1809}, {"de_DE", 0x0407}, {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"fr_FR", 0x040C},
    {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C}, {"es_ES", 0x0C0A}, {"es_MX", 0x080A},
    {"it_IT", 0x0410}, {"it_CH", 0x0810}, {"nl_NL", 0x0413}, {"nl_BE", 0x0813}, {"pt_BR", 0x0416},
    {"pt_PT", 0x0816}, {"sv_SE", 0x041D}, {"da_DK", 0x0406}, {"nb_NO", 0x0414}, {"fi_FI", 0x040B},
    {"pl_PL", 0x0415}, {"cs_CZ", 0x0405}, {"hu_HU", 0x040E}, {"ru_RU", 0x0419}, {"el_GR", 0x0408},
    {"tr_TR", 0x041F}, {"ja_JP", 0x0411}, {"ko_KR", 0x0412}, {"zh_TW", 0x0404}, {"zh_CN", 0x0804},
};

constexpr uint16_t kInvariantLocale = 0x007F;

std::string ReadText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The value of "key=value" in a shell-style settings file such as /etc/default/locale.
std::string SettingOf(const std::string& text, std::string_view key) {
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = std::min(text.find('\n', from), text.size());
        std::string_view line(text.data() + from, end - from);
        from = end + 1;
        if (line.starts_with(key) && line.substr(key.size()).starts_with('=')) {
            std::string_view value = line.substr(key.size() + 1);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')) {
                value = value.substr(1, value.size() - 2);
            }
            return std::string(value);
        }
    }
    return {};
}

std::string EnvLocale(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

std::string SystemLocaleName() {
    for (const char* path : {"/etc/default/locale", "/etc/locale.conf"}) {
        const std::string value = SettingOf(ReadText(path), "LANG");
        if (!value.empty()) {
            return value;
        }
    }
    return "C";
}

uint32_t Number(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            break;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

// The value of the first "key<blanks>: value" line of /proc/cpuinfo text.
std::string_view CpuField(std::string_view text, std::string_view key) {
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !line.starts_with(key)) {
            continue;
        }
        std::string_view name = line.substr(0, colon);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
            name.remove_suffix(1);
        }
        if (name == key) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') {
                value.remove_prefix(1);
            }
            return value;
        }
    }
    return {};
}

uint32_t NumberOrHex(std::string_view text) {
    if (text.starts_with("0x")) {
        return static_cast<uint32_t>(std::strtoul(std::string(text).c_str(), nullptr, 16));
    }
    return Number(text);
}

void ProcessorKind(std::string_view machine, uint16_t& architecture, uint32_t& type) {
    type = 0;
    if (machine == "x86_64") {
        architecture = 9;
        type = 8664;
    } else if (machine.size() == 4 && machine.front() == 'i' && machine.ends_with("86")) {
        architecture = 0;
        type = machine[1] == '3' ? 386 : machine[1] == '4' ? 486 : 586;
    } else if (machine == "aarch64" || machine == "arm64") {
        architecture = 12;
    } else if (machine.starts_with("arm")) {
        architecture = 5;
    } else if (machine == "ia64") {
        architecture = 6;
    } else {
        architecture = 0xFFFF;
    }
}

uint32_t ProcessorMask() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) {
        return 0;
    }
    uint32_t mask = 0;
    for (int cpu = 0; cpu < 32; ++cpu) {
        if (CPU_ISSET(cpu, &set)) {
            mask |= 1u << cpu;
        }
    }
    return mask;
}

void WriteCap(const char* label, uint32_t value) {
    DebugPrint("%-24s0x%08X\n", label, value);
}

} // namespace

uint32_t LocaleIdentifier(std::string_view localeName) {
    const std::string_view name = localeName.substr(0, localeName.find_first_of(".@"));
    if (name == "C" || name == "POSIX") {
        return kInvariantLocale;
    }
    for (const LocaleEntry& entry : kLocales) {
        if (entry.name == name) {
            return entry.id;
        }
    }
    const std::string_view language = name.substr(0, name.find('_'));
    for (const LocaleEntry& entry : kLocales) {
        if (!language.empty() && entry.name.substr(0, entry.name.find('_')) == language) {
            return entry.id;
        }
    }
    return 0;
}

void ParseKernelRelease(std::string_view release, uint32_t& major, uint32_t& minor,
                        uint32_t& build) {
    uint32_t* parts[] = {&major, &minor, &build};
    for (uint32_t* part : parts) {
        *part = 0;
    }
    for (uint32_t* part : parts) {
        if (release.empty() || !std::isdigit(static_cast<unsigned char>(release.front()))) {
            return;
        }
        *part = Number(release);
        const size_t dot = release.find_first_not_of("0123456789");
        if (dot == std::string_view::npos || release[dot] != '.') {
            return;
        }
        release.remove_prefix(dot + 1);
    }
}

void ParseCpuInfo(std::string_view text, uint16_t& level, uint16_t& revision) {
    const std::string_view family = CpuField(text, "cpu family");
    if (!family.empty()) {
        level = static_cast<uint16_t>(Number(family));
        const uint32_t model = Number(CpuField(text, "model"));
        const uint32_t stepping = Number(CpuField(text, "stepping"));
        revision = static_cast<uint16_t>(((model & 0xFF) << 8) | (stepping & 0xFF));
        return;
    }
    level = static_cast<uint16_t>(Number(CpuField(text, "CPU architecture")));
    revision = static_cast<uint16_t>(NumberOrHex(CpuField(text, "CPU revision")));
}

SystemFigures CollectSystemFigures() {
    SystemFigures figures;
    utsname names{};
    if (uname(&names) == 0) {
        ProcessorKind(names.machine, figures.processorArchitecture, figures.processorType);
        ParseKernelRelease(names.release, figures.majorVersion, figures.minorVersion,
                           figures.buildNumber);
        figures.versionInfo = std::string(names.sysname) + ' ' + names.release + ' ' +
                              names.version + ' ' + names.machine;
    }
    const long pageSize = sysconf(_SC_PAGESIZE);
    figures.pageSize = pageSize > 0 ? static_cast<uint32_t>(pageSize) : 0;
    figures.allocationGranularity = figures.pageSize; // mappings are placed page by page
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    figures.processorCount = processors > 0 ? static_cast<uint32_t>(processors) : 0;
    figures.processorMask = ProcessorMask();
    ParseCpuInfo(ReadText("/proc/cpuinfo"), figures.processorLevel, figures.processorRevision);
    figures.systemLanguage = figures.systemLocale = LocaleIdentifier(SystemLocaleName());
    figures.userLanguage = LocaleIdentifier(EnvLocale({"LC_ALL", "LC_MESSAGES", "LANG"}));
    figures.userLocale = LocaleIdentifier(EnvLocale({"LC_ALL", "LC_CTYPE", "LANG"}));
    return figures;
}

void WriteSystemSection(const SystemFigures& f) {
    DebugPrint("System Information:\n");
    DebugPrint("\nProcessor Architecture: 0x%04hX\n", f.processorArchitecture);
    DebugPrint("Page Size:              0x%08X\n", f.pageSize);
    DebugPrint("Allocation Granularity: 0x%08X\n", f.allocationGranularity);
    DebugPrint("Processor Count:        0x%08X\n", f.processorCount);
    DebugPrint("Processor Mask:         0x%08X\n", f.processorMask);
    DebugPrint("Processor Type:         0x%08X\n", f.processorType);
    DebugPrint("Processor Level:        0x%04hX\n", f.processorLevel);
    DebugPrint("Processor Revision:     0x%04hX\n", f.processorRevision);
    DebugPrint("\nSystem Langage:         0x%08X\n", f.systemLanguage);
    DebugPrint("User Langage:\t\t\t0x%08X\n", f.userLanguage);
    DebugPrint("System Locale:\t\t\t0x%08X\n", f.systemLocale);
    DebugPrint("User Local:\t\t\t\t0x%08X\n", f.userLocale);
    DebugPrint("\nWindows Major Version:  0x%08X\n", f.majorVersion);
    DebugPrint("Windows Minor Version:  0x%08X\n", f.minorVersion);
    DebugPrint("Windows Build Number:   0x%08X\n", f.buildNumber);
    DebugPrint("Windows Platform:       0x%08X\n", f.platformId);
    DebugPrint("Windows Version Info:   %s\n", f.versionInfo.c_str());
    DebugPrint("\nVideo:\n\n");
}

void WriteVideoSection(const VideoCaps& c) {
    WriteCap("Driver Version:", c.driverVersion);
    WriteCap("Screen Width (mm):", c.widthMm);
    WriteCap("Screen Height (mm):", c.heightMm);
    WriteCap("Screen Width (pixels):", c.widthPixels);
    WriteCap("Screen Height (pixels):", c.heightPixels);
    WriteCap("X Resolution:", c.dpiX);
    WriteCap("Y Resolution:", c.dpiY);
    WriteCap("Bits Per Pixel:", c.bitsPerPixel);
    WriteCap("Planes:", c.planes);
    WriteCap("Brushes:", c.brushes);
    WriteCap("Pens:", c.pens);
    WriteCap("Fonts:", c.fonts);
    WriteCap("Colors:", c.colors);
    WriteCap("X Aspect:", c.aspectX);
    WriteCap("Y Aspect:", c.aspectY);
    WriteCap("Clipping:", c.clipping);
    WriteCap("Palette Size:", c.paletteSize);
    WriteCap("Reserved Pal Entries:", c.reservedPalEntries);
    WriteCap("Color Resolution:", c.colorResolution);
    WriteCap("Vertical Refresh:", c.verticalRefresh);
    WriteCap("Desktop Width:", c.desktopWidth);
    WriteCap("Desktop Height:", c.desktopHeight);
    WriteCap("Prefered Bit Alignment:", c.bitAlignment);
    WriteCap("Raster Caps:", c.rasterCaps);
    WriteCap("Curve Caps:", c.curveCaps);
    WriteCap("Line Caps:", c.lineCaps);
    WriteCap("Polygonal Caps:", c.polygonalCaps);
    WriteCap("Text Caps:", c.textCaps);
}

void WriteSocketSection(const SocketInformation& info) {
    DebugPrint("\nWinsock:\n\n");
    DebugPrint("Winsock Version:        0x%08X\n", info.version);
    DebugPrint("Winsock Decription:     %s\n", info.description.c_str());
    DebugPrint("Winsock Status:         %s\n", info.status.c_str());
    DebugPrint("Winsock MaxSockts:      %d\n", static_cast<int>(info.maxSockets));
    if (info.vendorInfo) {
        DebugPrint("Winsock Vendor Info:    %s\n", info.vendorInfo->c_str());
    }
    DebugPrint("\nProgram Output:\n\n");
}
