#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The start-up sections of the diagnostics file. Labels, formats and order are fixed; the
// figures are the nearest this platform has (uname, sysconf, /proc/cpuinfo, the locale).

struct SystemFigures {
    uint16_t processorArchitecture = 0; // 0 x86, 5 ARM, 6 IA-64, 9 x86-64, 12 ARM64, 0xFFFF other
    uint32_t pageSize = 0;
    uint32_t allocationGranularity = 0;
    uint32_t processorCount = 0;
    uint32_t processorMask = 0;
    uint32_t processorType = 0; // 386, 486, 586, 8664 for the x86 family, else 0
    uint16_t processorLevel = 0;
    uint16_t processorRevision = 0;
    uint32_t systemLanguage = 0; // locale identifiers: 0x0409 en_US, 0x007F "C"/"POSIX"
    uint32_t userLanguage = 0;
    uint32_t systemLocale = 0;
    uint32_t userLocale = 0;
    uint32_t majorVersion = 0; // of the kernel release
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 0;
    uint32_t platformId = 0; // none of the Windows platforms
    std::string versionInfo; // kernel name, release, version and machine
};

// Device capabilities of the primary screen; 0 where the platform has no such figure.
struct VideoCaps {
    uint32_t driverVersion = 0, widthMm = 0, heightMm = 0, widthPixels = 0, heightPixels = 0,
             dpiX = 0, dpiY = 0, bitsPerPixel = 0, planes = 0, brushes = 0, pens = 0, fonts = 0,
             colors = 0, aspectX = 0, aspectY = 0, clipping = 0, paletteSize = 0,
             reservedPalEntries = 0, colorResolution = 0, verticalRefresh = 0, desktopWidth = 0,
             desktopHeight = 0, bitAlignment = 0, rasterCaps = 0, curveCaps = 0, lineCaps = 0,
             polygonalCaps = 0, textCaps = 0;
};

struct SocketInformation {
    uint32_t version = 0; // highest supported in the upper 16 bits, in use in the lower 16
    std::string description;
    std::string status;
    uint16_t maxSockets = 0;
    std::optional<std::string> vendorInfo; // no line at all when absent
};

SystemFigures CollectSystemFigures();

// "System Information:" up to and including the "Video:" header.
void WriteSystemSection(const SystemFigures& figures);
// One line per device capability.
void WriteVideoSection(const VideoCaps& caps);
// "Winsock:" and its lines, then the "Program Output:" header.
void WriteSocketSection(const SocketInformation& info);

// Helpers, exposed for testing.
// A locale name ("de_DE.UTF-8", "fr", "C") as a locale identifier; 0 when unknown.
uint32_t LocaleIdentifier(std::string_view localeName);
// "6.1.0-18-amd64" as 6, 1, 0; missing parts are 0.
void ParseKernelRelease(std::string_view release, uint32_t& major, uint32_t& minor,
                        uint32_t& build);
// /proc/cpuinfo text: family as the level, model and stepping as the revision (x86), or the
// architecture and revision fields (ARM).
void ParseCpuInfo(std::string_view text, uint16_t& level, uint16_t& revision);
