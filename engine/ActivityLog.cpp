#include "engine/ActivityLog.h"

#include "platform/CStringTable.h"
#include "platform/ConsoleText.h"
#include "platform/StringIds.h"

namespace {

std::string FormatLocalTime(const char* format, std::time_t time) {
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr)
        return {};
    char text[64];
    const size_t length = std::strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

// Fills each "%s" of the template in turn with the next argument; the arguments are text,
// never formats.
std::string FillTemplate(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string result;
    auto arg = args.begin();
    for (size_t pos = 0; pos < format.size();) {
        const size_t mark = format.find("%s", pos);
        result.append(format.substr(pos, mark - pos));
        if (mark == std::string_view::npos)
            break;
        if (arg != args.end())
            result.append(*arg++);
        pos = mark + 2;
    }
    return result;
}

} // namespace

bool ActivityLog::Open(const std::string& folder, std::time_t start) {
    Close();
    const std::string path =
        folder + "Gleanwick." + FormatLocalTime("%m%d%y%H%M%S", start) + ".log";
    m_file = std::fopen(path.c_str(), "w");
    return m_file != nullptr;
}

void ActivityLog::Write(std::string_view text, std::time_t now) {
    if (IsOpen())
        WriteStamped(ConsoleText(text) + '\n', now);
}

void ActivityLog::WriteFileDecode(std::string_view fileName, std::string_view from,
                                  std::string_view subject, std::time_t now) {
    if (!IsOpen())
        return;
    // Names from articles cannot break the file's lines or carry escape sequences.
    std::string line =
        FillTemplate(CStringTable::Load(ids::kFileDecodeLogLine),
                     {ConsoleText(fileName), ConsoleText(from), ConsoleText(subject)});
    // The line end belongs to the string; keep the file line-structured even without it.
    if (!line.ends_with('\n'))
        line += '\n';
    WriteStamped(line, now);
}

void ActivityLog::WriteStamped(std::string_view line, std::time_t now) {
    const std::string stamp = FormatLocalTime("[%m/%d/%Y %H:%M:%S] ", now);
    std::fwrite(stamp.data(), 1, stamp.size(), m_file);
    std::fwrite(line.data(), 1, line.size(), m_file);
    std::fflush(m_file);
}

void ActivityLog::Close() {
    if (m_file == nullptr)
        return;
    std::fclose(m_file);
    m_file = nullptr;
}
