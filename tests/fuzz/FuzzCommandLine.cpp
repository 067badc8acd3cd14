// The command line: the input split at NUL bytes into parameters, parsed from a list and from
// an argv array. Both agree with a reference: the last "debug:" switch gives the level as
// strtoll reads it, clamped to the int range; "start" is a prefix, "headless" and "catchup"
// exact, "Embedding" and "Automation" in any case; every parameter nothing acts on is kept in
// order, as given.
#include "app/CommandLine.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using fuzz::Check;

// atoi's reading (C locale white space, a sign, digits) through strtoll, clamped.
int ReferenceDecimal(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start])))
        ++start;
    size_t digits = start;
    if (digits < text.size() && (text[digits] == '+' || text[digits] == '-'))
        ++digits;
    size_t first = digits;
    while (first + 1 < text.size() && text[first] == '0')
        ++first; // leading zeros only make the copy long
    size_t end = first;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    std::string copy(text.substr(start, digits - start));
    copy += text.substr(first, std::min<size_t>(end - first, 30));
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

CMainCommandLineInfo Reference(const std::vector<std::string>& parameters) {
    CMainCommandLineInfo info;
    for (const std::string& parameter : parameters) {
        const bool isSwitch = !parameter.empty() && (parameter[0] == '/' || parameter[0] == '-');
        const std::string_view name = std::string_view(parameter).substr(isSwitch ? 1 : 0);
        if (isSwitch && name.starts_with("debug:"))
            info.m_nDebugLevel = ReferenceDecimal(name.substr(6));
        else if (isSwitch && name.starts_with("start"))
            info.m_bStart = true;
        else if (isSwitch && name == "headless")
            info.m_bHeadless = true;
        else if (isSwitch && name == "catchup")
            info.m_bCatchUp = true;
        else if (isSwitch &&
                 (SameIgnoringCase(name, "Embedding") || SameIgnoringCase(name, "Automation")))
            info.m_bShowSplash = false;
        else
            info.m_others.push_back(parameter);
    }
    return info;
}

bool Same(const CMainCommandLineInfo& a, const CMainCommandLineInfo& b) {
    return a.m_nDebugLevel == b.m_nDebugLevel && a.m_bStart == b.m_bStart &&
           a.m_bHeadless == b.m_bHeadless && a.m_bCatchUp == b.m_bCatchUp &&
           a.m_bShowSplash == b.m_bShowSplash && a.m_others == b.m_others;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parameters;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = std::min(text.find('\0', pos), text.size());
        parameters.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    const CMainCommandLineInfo parsed = CMainCommandLineInfo::Parse(parameters);
    Check(Same(parsed, Reference(parameters)), "the command line was read wrongly");

    std::vector<const char*> argv{"gleanwick"};
    for (const std::string& parameter : parameters)
        argv.push_back(parameter.c_str());
    argv.push_back(nullptr);
    Check(Same(CMainCommandLineInfo::Parse(static_cast<int>(argv.size() - 1), argv.data()), parsed),
          "argv and the list are read differently");
    return 0;
}
