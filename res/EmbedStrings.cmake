# Writes OUTPUT, a C++ source holding the bytes of INPUT (the string table text), which
# CStringTable parses on first use.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp"
    "// Generated from res/strings.txt; do not edit.\n"
    "#include <cstddef>\n\n"
    "extern const char kStringTableText[];\n"
    "extern const std::size_t kStringTableSize;\n"
    "const char kStringTableText[] = {\n    ${bytes}'\\0'};\n"
    "const std::size_t kStringTableSize = sizeof kStringTableText - 1;\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
