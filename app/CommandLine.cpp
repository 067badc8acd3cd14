#include "app/CommandLine.h"

#include <climits>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
        const char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] + 32) : b[i];
        if (x != y) {
            return false;
        }
    }
    return true;
}

} // namespace

int ParseDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    value = negative ? -value : value;
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value);
}

bool CMainCommandLineInfo::ParseParam(std::string_view param, bool isSwitch) {
    if (!isSwitch) {
        return false;
    }
    if (param.starts_with("debug:")) {
        m_nDebugLevel = ParseDecimal(param.substr(6));
    } else if (param.starts_with("start")) {
        m_bStart = true;
    } else if (param == "headless") {
        m_bHeadless = true;
    } else if (param == "catchup") {
        m_bCatchUp = true;
    } else if (EqualsIgnoringCase(param, "Embedding") || EqualsIgnoringCase(param, "Automation")) {
        m_bShowSplash = false;
    } else {
        return false;
    }
    return true;
}

CMainCommandLineInfo CMainCommandLineInfo::Parse(const std::vector<std::string>& parameters) {
    CMainCommandLineInfo info;
    for (const std::string& parameter : parameters) {
        const bool isSwitch =
            !parameter.empty() && (parameter.front() == '/' || parameter.front() == '-');
        if (!info.ParseParam(isSwitch ? std::string_view(parameter).substr(1) : parameter,
                             isSwitch)) {
            info.m_others.push_back(parameter);
        }
    }
    return info;
}

CMainCommandLineInfo CMainCommandLineInfo::Parse(int argc, const char* const* argv) {
    std::vector<std::string> parameters;
    for (int i = 1; i < argc; ++i) {
        parameters.emplace_back(argv[i]);
    }
    return Parse(parameters);
}
