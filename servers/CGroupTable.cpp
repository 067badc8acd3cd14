#include "servers/CGroupTable.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "options/CAtomicFileWriter.h"
#include "options/CSettings.h"
#include "platform/CProfile.h"
#include "platform/CStringTable.h"
#include "platform/ConnectionErrors.h"
#include "platform/Diagnostics.h"
#include "platform/StringIds.h"
#include "servers/CServerRecord.h"
#include "servers/IGroupListHost.h"

ServerTableList g_serverTables;

CGroupTable* FindServerTable(std::string_view name) {
    for (const std::unique_ptr<CGroupTable>& table : g_serverTables)
        if (table->m_strName == name)
            return table.get();
    return nullptr;
}

namespace {

IGroupListHost* s_pListHost = nullptr;

constexpr std::string_view kMarks = "!:";
constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kUnstorable = "!:\r\n";
constexpr std::size_t kProbeStride = 1000;
// Several times the largest group list of any real server, and still well inside the memory a
// desktop program may take: a list that goes on past either is refused rather than kept.
constexpr std::size_t kMaxListGroups = 300000;
constexpr std::size_t kMaxListBytes = 32 * 1024 * 1024;

// Counts a reply's lines and bytes against the limits above.
class ListBudget {
  public:
    bool Take(std::string_view line) {
        ++m_nLines;
        m_nBytes += line.size();
        return m_nLines <= kMaxListGroups && m_nBytes <= kMaxListBytes;
    }

  private:
    std::size_t m_nLines = 0;
    std::size_t m_nBytes = 0;
};
constexpr std::size_t kMinInsertStep = 100;

// A signed decimal prefix ("-1", "12abc", "" -> 0), kept modulo 2^32 like the
// unsigned field it is stored in.
uint32_t ToArticleNumber(std::string_view token) {
    std::size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
        value = value * 10u + static_cast<uint32_t>(token[i] - '0');
    }
    return negative ? 0u - value : value;
}

std::string_view Trim(std::string_view text) {
    const std::size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

// The blank-delimited tokens of `text` in order, each passed to `take`.
template <class Take> void ForEachToken(std::string_view text, Take&& take) {
    std::size_t pos = text.find_first_not_of(kBlanks);
    while (pos != std::string_view::npos) {
        const std::size_t end = text.find_first_of(kBlanks, pos);
        take(text.substr(pos, end - pos));
        pos = text.find_first_not_of(kBlanks, end);
    }
}

// One .newsrc line: "name: last pending..." (":" subscribed, "!" not). A line without
// a mark or without numbers still yields its group; a line without a name yields none.
std::unique_ptr<GroupRecord> ParseNewsrcLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    const std::size_t begin = line.find_first_not_of(kMarks);
    if (begin == std::string_view::npos) {
        return nullptr;
    }
    std::size_t end = line.find_first_of(kMarks, begin);
    if (end == std::string_view::npos) {
        end = line.find_first_of(kBlanks, begin);
    }
    const std::string_view name = Trim(line.substr(begin, end - begin));
    // A carriage return left inside a hand-edited name would end the GROUP command early and
    // send the rest to the server as a command of its own; no group is named so.
    if (name.empty() || name.find('\r') != std::string_view::npos) {
        return nullptr;
    }
    auto record = std::make_unique<GroupRecord>();
    record->subscribed = line.find(':') != std::string_view::npos;
    record->name = name;
    std::string_view rest = end == std::string_view::npos ? std::string_view{} : line.substr(end);
    // Both marks may follow the name; neither is a number.
    const std::size_t numbers = rest.find_first_not_of(":! \t");
    rest = numbers == std::string_view::npos ? std::string_view{} : rest.substr(numbers);
    bool first = true;
    ForEachToken(rest, [&](std::string_view token) {
        if (first) {
            record->last = ToArticleNumber(token);
            first = false;
            return;
        }
        record->pending.push_back(ToArticleNumber(token));
    });
    return record;
}

void AppendNumber(std::string& out, uint32_t value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendNewsrcLine(std::string& out, const GroupRecord& record) {
    out += record.name;
    out += record.subscribed ? ':' : '!';
    out += ' ';
    AppendNumber(out, record.last);
    for (const uint32_t number : record.pending) {
        out += ' ';
        AppendNumber(out, number);
    }
    out += '\n';
}

// The next line of a list reply; false at its end, and when the user stopped the wait for it
// (which keeps what came, as a Cancel between lines does).
bool NextListLine(IBlockingConnection& connection, std::string& line) {
    try {
        line = connection.ReadLine();
    } catch (const CUserCancelException&) {
        return false;
    }
    return line != ".";
}

std::string CounterText(const std::string& stem, int counter) {
    return stem + " " + std::to_string(counter) + "...";
}

// Undoes what a fetch set up, in the order the fetch ends: main window, connection,
// progress window. Runs on success and while an exception passes through.
class FetchSession {
  public:
    FetchSession(IGroupListHost& host, bool disableMainWindow) : m_host(host) {
        if (disableMainWindow) {
            m_host.EnableMainWindow(false);
            m_bEnableAtEnd = true;
        }
    }
    ~FetchSession() {
        if (m_bEnableAtEnd) {
            m_host.EnableMainWindow(true);
        }
        if (m_pConnection) {
            try {
                m_pConnection->Close();
            } catch (...) {
                // QUIT is a courtesy; the fetch's own outcome stands.
            }
        }
    }
    FetchSession(const FetchSession&) = delete;
    FetchSession& operator=(const FetchSession&) = delete;

    std::unique_ptr<IGroupDownloadProgress> m_pProgress;
    std::unique_ptr<IBlockingConnection> m_pConnection;

  private:
    IGroupListHost& m_host;
    bool m_bEnableAtEnd = false;
};

} // namespace

CGroupTable::CGroupTable(CProfile& profile, std::string serverName)
    : m_strName(std::move(serverName)), m_profile(profile) {}

CGroupTable::~CGroupTable() = default;

void CGroupTable::SetListHost(IGroupListHost* host) {
    s_pListHost = host;
}

std::string CGroupTable::GetNewsrcPath() {
    return CServerRecord(m_profile, m_strName).GetNewsrcPath();
}

void CGroupTable::Load() {
    const std::string path = GetNewsrcPath();
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        if (errno != ENOENT)
            KeepUnreadableFile(path, errno);
        FetchFullList(nullptr);
        return;
    }
    std::string line;
    while (std::getline(in, line)) {
        auto record = ParseNewsrcLine(line);
        if (!record) {
            continue;
        }
        if (record->subscribed) {
            DebugTrace(2, "Read Group: %s Last = %lu\n", record->name.c_str(),
                       static_cast<unsigned long>(record->last));
        }
        Append(std::move(record));
    }
    if (in.bad())
        KeepUnreadableFile(path, errno);
}

// The user's subscriptions and positions are in that file: it is never replaced by whatever
// this process has instead.
void CGroupTable::KeepUnreadableFile(const std::string& path, int error) {
    m_bKeepFile = true;
    throw std::runtime_error("cannot read " + path + ": " + std::strerror(error));
}

void CGroupTable::Save() {
    if (m_bKeepFile || m_bListIncomplete)
        return;
    const std::string path = GetNewsrcPath();
    const bool keepBackup =
        !m_bReplaced && m_profile.GetProfileInt(CSettings::kSection, "m_bBackupNewsrc", 1) != 0;
    CAtomicFileWriter writer(path);
    std::string line;
    for (std::size_t i = 0; i < GetCount(); ++i) {
        const GroupRecord& record = GetAt(i);
        if (record.subscribed) {
            DebugTrace(2, "Write Group: %s Last = %lu\n", record.name.c_str(),
                       static_cast<unsigned long>(record.last));
        }
        line.clear();
        AppendNewsrcLine(line, record);
        writer.Write(line);
    }
    writer.Commit(keepBackup ? path + std::string(kBackupSuffix) : std::string());
    m_bReplaced = true;
}

bool CGroupTable::HasSubscribedGroups() const {
    return m_records.FindFrom(0, [](const GroupRecord& r) { return r.subscribed; }) < GetCount();
}

GroupRecord* CGroupTable::FindGroup(std::string_view name, long hint) const {
    const std::size_t count = GetCount();
    std::size_t start = 0;
    if (hint >= 0 && static_cast<std::size_t>(hint) < count &&
        name > std::string_view(GetAt(static_cast<std::size_t>(hint)).name)) {
        start = static_cast<std::size_t>(hint);
    }
    return m_bInNameOrder ? FindInNameOrder(name, start) : ProbedFind(name, start);
}

// Probes every 1000th record from `start` while the names there are <= `name`, then
// scans from the last such record (or the first record) to the end.
GroupRecord* CGroupTable::ProbedFind(std::string_view name, std::size_t start) const {
    const std::size_t count = GetCount();
    std::size_t scanStart = 0;
    for (std::size_t probe = start; probe < count && std::string_view(GetAt(probe).name) <= name;
         probe += kProbeStride) {
        scanStart = probe;
    }
    const std::size_t found =
        m_records.FindFrom(scanStart, [name](const GroupRecord& r) { return r.name == name; });
    return found < count ? &GetAt(found) : nullptr;
}

// The probed scan's result computed by search: in name order the equal names form
// one run [equal, greater), the probes stop at the last stride point below `greater`,
// and the scan returns the first equal record at or after that point.
GroupRecord* CGroupTable::FindInNameOrder(std::string_view name, std::size_t start) const {
    const std::size_t count = GetCount();
    // With a usable hint every record up to `start` is below `name`.
    const auto below = [name](const GroupRecord& r) { return std::string_view(r.name) < name; };
    const std::size_t equal =
        start > 0 ? m_records.GallopFrom(start, below) : m_records.PartitionPoint(below);
    if (equal == count || GetAt(equal).name != name) {
        return nullptr;
    }
    const std::size_t greater = m_records.GallopFrom(
        equal, [name](const GroupRecord& r) { return std::string_view(r.name) <= name; });
    const std::size_t scanStart =
        start < greater ? start + (greater - 1 - start) / kProbeStride * kProbeStride : 0;
    return &GetAt(std::max(equal, scanStart));
}

GroupRecord& CGroupTable::Append(std::unique_ptr<GroupRecord> record) {
    GroupRecord& added = *record;
    if (GetCount() > 0 && added.name < GetAt(GetCount() - 1).name) {
        m_bInNameOrder = false;
    }
    m_records.PushBack(std::move(record));
    return added;
}

GroupRecord& CGroupTable::InsertOrdered(std::unique_ptr<GroupRecord> record) {
    GroupRecord& added = *record;
    m_records.Insert(InsertPosition(added.name), std::move(record));
    return added;
}

// Directly after the last record whose name is <= `name` when the table is in name
// order; otherwise wherever the probing scan lands.
std::size_t CGroupTable::InsertPosition(std::string_view name) const {
    const std::size_t count = GetCount();
    if (count > 0 && name > std::string_view(GetAt(count - 1).name)) {
        return count;
    }
    if (m_bInNameOrder) {
        return m_records.PartitionPoint(
            [name](const GroupRecord& r) { return std::string_view(r.name) <= name; });
    }
    return ProbedInsertPosition(name);
}

// Coarse probes with halving steps narrow the range, then a linear scan finds the
// first record whose name is greater.
std::size_t CGroupTable::ProbedInsertPosition(std::string_view name) const {
    const std::size_t count = GetCount();
    std::size_t step = count / 2 >= kProbeStride ? count / 2 : kProbeStride;
    std::size_t pos = 0;
    for (; step >= kMinInsertStep; step /= 2) {
        while (pos + step < count && std::string_view(GetAt(pos + step).name) <= name) {
            pos += step;
        }
    }
    return m_records.FindFrom(pos, [name](const GroupRecord& r) { return r.name > name; });
}

void CGroupTable::AddListLine(std::string_view line, const CGroupTable* previous) {
    const std::size_t begin = line.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos) {
        return;
    }
    const std::string_view name = line.substr(begin, line.find_first_of(kBlanks, begin) - begin);
    // A mark or a line break inside the name could not be written to the .newsrc file
    // faithfully (it would change or add lines there).
    if (name.find_first_of(kUnstorable) != std::string_view::npos) {
        return;
    }
    auto record = std::make_unique<GroupRecord>();
    record->name = name;
    record->isNew = true;
    if (previous) {
        const GroupRecord* known = previous->FindGroup(name, static_cast<long>(GetCount()) - 1);
        if (known && previous == this) {
            return; // a new group this table already holds stays as it is
        }
        if (known) {
            record->last = known->last;
            record->subscribed = known->subscribed;
            record->pending = known->pending;
            record->isNew = false;
        }
    }
    InsertOrdered(std::move(record));
}

void CGroupTable::RefuseEndlessList() const {
    throw std::runtime_error("the group list of " + m_strName +
                             " is larger than any real server's (more than " +
                             std::to_string(kMaxListGroups) + " groups or " +
                             std::to_string(kMaxListBytes >> 20) + " MB); it is not kept");
}

IGroupListHost& CGroupTable::ListHost() const {
    if (!s_pListHost) {
        throw CConnectionException("no connection layer to fetch the group list of " + m_strName);
    }
    return *s_pListHost;
}

void CGroupTable::FetchFullList(const CGroupTable* previous) {
    if (previous != nullptr)
        m_bReplaced = previous->m_bReplaced;
    IGroupListHost& host = ListHost();
    FetchSession session(host, true);
    session.m_pProgress = host.MakeProgress(m_strName);
    session.m_pConnection = host.MakeConnection(m_strName);
    IBlockingConnection& connection = *session.m_pConnection;
    // Until the list has ended (or the user stopped it), what was received stays for this
    // process but is not stored as the server's list: the next start fetches it again.
    m_bListIncomplete = true;
    connection.Connect();
    connection.SendLine("LIST");
    connection.ExpectCode(215);
    // The progress window stays live while the server is slow to send the next line.
    connection.SetStopCheck([&session] { return session.m_pProgress->PumpMessages(); });
    const std::string& stem = CStringTable::Load(ids::kDownloadingGroupNumber);
    ListBudget budget;
    std::string line;
    for (int counter = 0; NextListLine(connection, line); ++counter) {
        if (session.m_pProgress->PumpMessages()) {
            break;
        }
        if (counter % 100 == 0) {
            session.m_pProgress->SetCounterText(CounterText(stem, counter));
        }
        if (!budget.Take(line)) {
            m_records = CGroupRecordList();
            m_bInNameOrder = true;
            RefuseEndlessList();
        }
        AddListLine(line, previous);
    }
    m_bListIncomplete = false;
    m_bListFetched = true;
    CServerRecord(m_profile, m_strName).WriteLastUpdate();
}

void CGroupTable::FetchNewGroups() {
    if (m_bListFetched) {
        return;
    }
    IGroupListHost& host = ListHost();
    FetchSession session(host, false);
    session.m_pProgress = host.MakeProgress(m_strName);
    CServerRecord server(m_profile, m_strName);
    const std::string command = "NEWGROUPS " + server.GetLastUpdate();
    session.m_pConnection = host.MakeConnection(m_strName);
    IBlockingConnection& connection = *session.m_pConnection;
    connection.Connect();
    connection.SendLine(command);
    connection.ExpectCode(231);
    const std::string& stem = CStringTable::Load(ids::kDownloadingGroupNumber);
    ListBudget budget;
    // The whole reply first: a reply that goes on without end leaves the table as it was.
    std::vector<std::string> lines;
    for (std::string line = connection.ReadLine(); line != "."; line = connection.ReadLine()) {
        if (lines.size() % 100 == 0) {
            session.m_pProgress->SetCounterText(CounterText(stem, static_cast<int>(lines.size())));
        }
        if (!budget.Take(line))
            RefuseEndlessList();
        lines.push_back(std::move(line));
    }
    for (const std::string& line : lines)
        AddListLine(line, this);
    m_bListFetched = true;
    server.WriteLastUpdate();
}
