#pragma once

// The article fixtures of tests/fixtures/articles (made by real encoders, see
// make-fixtures.sh) and their originals.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace fixtures {

inline const std::string kFolder = std::string(GW_FIXTURES_DIR) + "/articles/";

// The whole file; a file that cannot be read fails the test.
inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace fixtures
