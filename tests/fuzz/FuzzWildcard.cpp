// Kill patterns: the matcher against a memoised rendering of the recursive rule.
#include "engine/SelectionRules.h"

#include <vector>

namespace {

bool Reference(std::string_view p, std::string_view v, size_t i, size_t j,
               std::vector<signed char>& memo) {
    signed char& known = memo[i * (v.size() + 1) + j];
    if (known >= 0)
        return known;
    bool result;
    if (i == p.size())
        result = j == v.size();
    else if (p[i] == '*')
        result =
            Reference(p, v, i + 1, j, memo) || (j < v.size() && Reference(p, v, i, j + 1, memo));
    else
        result =
            j < v.size() && (p[i] == '?' || p[i] == v[j]) && Reference(p, v, i + 1, j + 1, memo);
    known = result;
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Pattern and value are separated by the first NUL byte.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const size_t split = text.find('\0');
    if (split == std::string_view::npos || size > 400)
        return 0;
    const std::string_view pattern = text.substr(0, split);
    const std::string_view value = text.substr(split + 1);
    std::vector<signed char> memo((pattern.size() + 1) * (value.size() + 1), -1);
    if (WildcardMatch(pattern, value) != Reference(pattern, value, 0, 0, memo))
        __builtin_trap();
    return 0;
}
