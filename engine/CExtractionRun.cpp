#include "engine/CExtractionRun.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <utility>

#include "engine/CCommandPipeline.h"
#include "engine/HeaderParsing.h"
#include "engine/IArticleList.h"
#include "engine/ILogList.h"
#include "engine/IProgressPanel.h"
#include "engine/IRunHost.h"
#include "engine/PartIdentifier.h"
#include "engine/SelectionRules.h"
#include "engine/Uudecoder.h"
#include "engine/YencDecoder.h"
#include "engine/YencKeywordLines.h"
#include "options/CMimeTable.h"
#include "options/CSettings.h"
#include "platform/CProfile.h"
#include "platform/CStringTable.h"
#include "platform/ConnectionErrors.h"
#include "platform/Diagnostics.h"
#include "platform/StringIds.h"
#include "servers/CServerRecord.h"
#include "servers/GroupRecord.h"

namespace {

constexpr uint32_t kMissingPart = 0xFFFFFFFFu;
// Decoded bytes are held back and handed to the output file when the connection waits for the
// server (OnIdle), so that writing the file overlaps the server's work instead of adding to
// the time of every reply; this bound keeps a long body from holding more than this much. A
// block this large goes to the file without being copied into its buffer.
constexpr size_t kDecodedBlock = 1024 * 1024;
// A set's BODYs in flight at once with a pipeline: as many as this many bytes of parts, going
// by the Lines of its first part (about a line's worth of bytes each), within the bounds.
constexpr size_t kPartBytesInFlight = 32u << 20;
constexpr size_t kBytesPerLine = 130;
// A part whose size is not known is taken for one of the usual size.
constexpr size_t kUsualPartLines = 5000;
constexpr size_t kMinPartsInFlight = 2;
constexpr size_t kMaxPartsInFlight = 64;
// An overview block goes on to the next while it spares at least one HEAD in this many.
constexpr size_t kSparedShare = 4;

// Compares as many bytes as the prefix has, a constant for a literal: no library call for the
// checks made on every line.
bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::char_traits<char>::compare(text.data(), prefix.data(), prefix.size()) == 0;
}

// An article number field of a reply; digits only, saturating at the 32-bit limit.
uint32_t ParseArticleNumber(std::string_view field) {
    uint64_t value = 0;
    for (char c : field) {
        if (c < '0' || c > '9')
            break;
        value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(c - '0'),
                                   std::numeric_limits<uint32_t>::max());
    }
    return static_cast<uint32_t>(value);
}

// The blank-separated fields of a reply line (runs of blanks count as one).
std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t end = line.find(' ', pos);
        if (end == std::string_view::npos)
            end = line.size();
        if (end > pos)
            fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

std::string Numbered(std::string_view command, uint32_t number) {
    return std::string(command) + std::to_string(number);
}

using Step = CCommandPipeline::Step;

} // namespace

CExtractionRun::CExtractionRun(CProfile& profile, ServerTableList& servers, CSettings& settings,
                               std::vector<KillRule>& killRules, NewsConnectionFactory factory,
                               ILogList& logList, IArticleList& articleList,
                               IProgressPanel& progress, IRunHost& host, std::string programFolder)
    : m_profile(profile), m_servers(servers), m_settings(settings), m_killRules(killRules),
      m_factory(std::move(factory)), m_logList(logList), m_articleList(articleList),
      m_progress(progress), m_host(host), m_programFolder(std::move(programFolder)),
      m_clock([] { return std::time(nullptr); }) {
    // m_pending is constructed after m_pSetPos: its end is only known here.
    m_pSetPos = m_pending.end();
}

CExtractionRun::~CExtractionRun() {
    // A run still going when the owner goes away loses its partly written file, as on a stop.
    if (m_output.IsOpen())
        m_output.CloseAndDelete();
    CloseConnection();
}

bool CExtractionRun::CanStartExtract() const {
    return std::any_of(m_servers.begin(), m_servers.end(),
                       [](const auto& table) { return table && table->HasSubscribedGroups(); });
}

// ---------------------------------------------------------------------------------------------
// Commands

void CExtractionRun::StartOrStop(int mode) {
    m_bCatchUp = mode == 1;
    if (m_nState == RunState::Idle)
        Start();
    else
        Stop();
}

void CExtractionRun::Start() {
    m_bCompleted = false;
    m_strStopReason.clear();
    m_bServerFailed = false;
    LoadMimeTable();
    m_logList.ResetContent();
    m_articleList.DeleteAllItems();
    m_nServerPos = 0;
    OpenLogFile();
    NextServer();
}

void CExtractionRun::Stop() {
    switch (m_nState) {
    case RunState::Idle:
        return;
    case RunState::PendingHeadRequested:
    case RunState::ReadingPendingHeaders:
        CloseConnection();
        SetState(RunState::Idle);
        DropGroup();
        return;
    case RunState::UudecodingSingle:
    case RunState::MimeBodyRequested:
    case RunState::DecodingMimePart:
    case RunState::UudecodingParts:
    case RunState::NextPartRequested:
    case RunState::YdecodingSingle:
    case RunState::YdecodingParts:
    case RunState::YencPartEnded:
        m_output.CloseAndDelete();
        ReleasePartSet();
        CloseConnection();
        SetState(RunState::Idle);
        FinishGroup();
        return;
    case RunState::FirstPartRequested:
    case RunState::ScanningFirstPart:
    case RunState::SkippingPartRest:
        FinishGroup();
        ReleasePartSet();
        CloseConnection();
        SetState(RunState::Idle);
        return;
    default:
        CloseConnection();
        SetState(RunState::Idle);
        FinishGroup();
        return;
    }
}

void CExtractionRun::CatchUpCurrentGroup() {
    if (!IsRunning() || m_pGroup == nullptr)
        return;
    LogMessage(ids::kCatchingUpGroup, m_pGroup->name);
    m_bCatchUpGroup = true;
}

void CExtractionRun::SetState(RunState state) {
    const bool wasRunning = m_nState != RunState::Idle;
    const bool running = state != RunState::Idle;
    if (wasRunning && !running && m_settings.m_bLog)
        m_log.Close();
    m_nState = state;
    if (wasRunning != running)
        m_host.OnRunStateChanged(running);
}

// ---------------------------------------------------------------------------------------------
// Servers and groups

const std::string& CExtractionRun::ServerName() const {
    static const std::string none;
    return m_pServer ? m_pServer->m_strName : none;
}

CServerRecord CExtractionRun::ServerRecord() const {
    return CServerRecord(m_profile, ServerName());
}

void CExtractionRun::CloseConnection() {
    if (m_pConnection)
        m_pConnection->Close();
    DropConnection();
}

// Without the QUIT of a close: for a connection that never started.
void CExtractionRun::DropConnection() {
    m_pPipeline = nullptr;
    m_pConnection.reset();
}

// With a depth above 1 the connection is wrapped in a pipeline that sends the walk's HEADs
// ahead, on the server's several connections; with 1 the run talks to one connection itself,
// one command at a time.
std::unique_ptr<INewsConnection> CExtractionRun::MakeConnection() {
    if (!m_factory)
        return nullptr;
    const CServerRecord record = ServerRecord();
    const uint32_t depth = record.GetPipelineDepth();
    if (depth <= 1)
        return m_factory(ServerName(), *this);
    auto pipeline = std::make_unique<CCommandPipeline>(m_factory, ServerName(), *this, depth,
                                                       record.GetConnections());
    m_pPipeline = pipeline.get();
    return pipeline;
}

// The commands NextPendingArticle and NextArticle will send, in their order, from copies of
// their cursors (`after`: the walk's article it goes on after, 0 before its first): HEADs of the
// pending numbers from the last, then of the range without them and without what the overview
// passes over, up to the next overview block, whose command ends the plan (what it decides is not
// known before its reply). Where the overview shows that the run will fetch an article's body
// after its HEAD (a single part, a named attachment), the BODY follows the HEAD, as many as
// kPartBytesInFlight holds by the overview's sizes ahead of the run. A catch-up of the group ends
// the plan too.
void CExtractionRun::PlanHeads(uint64_t after) {
    if (m_pPipeline == nullptr)
        return;
    auto plan = [this, pendingLeft = m_nPendingLeft, article = after, blockAsked = false,
                 body = std::optional<uint32_t>(),
                 bodiesAhead = std::deque<std::pair<uint32_t, uint64_t>>(),
                 bytesAhead = uint64_t{0},
                 setBodies = std::optional<std::deque<uint32_t>>()](std::string& command) mutable {
        if (m_pGroup == nullptr || m_bCatchUpGroup || blockAsked)
            return Step::End;
        if (pendingLeft > 0) {
            command = Numbered("HEAD ", m_pGroup->pending[static_cast<size_t>(--pendingLeft)]);
            return Step::Command;
        }
        if (body) {
            command = Numbered("BODY ", *std::exchange(body, std::nullopt));
            return Step::Command;
        }
        // Bodies of articles the run has passed no longer count.
        for (; !bodiesAhead.empty() && bodiesAhead.front().first < m_uArticle;
             bodiesAhead.pop_front())
            bytesAhead -= bodiesAhead.front().second;
        for (;;) {
            const uint64_t next = WalkNumberAfter(article);
            if (next > m_uGroupLast || m_uGroupLast == 0) {
                if (!setBodies)
                    setBodies = FirstSetBodies();
                if (setBodies->empty())
                    return Step::End;
                command = Numbered("BODY ", setBodies->front());
                setBodies->pop_front();
                return Step::Command;
            }
            const auto number = static_cast<uint32_t>(next);
            if (NeedsOverviewBlock(number)) {
                blockAsked = true;
                command = COverviewScreen::BlockCommand(number);
                return Step::Command;
            }
            const OverviewRecord* record = OverviewOf(number);
            if (record != nullptr && OverviewVerdict(*record) != Verdict::Headers) {
                article = next;
                continue;
            }
            if (record != nullptr && record->bytes && BodyFollowsHead(*record)) {
                if (!bodiesAhead.empty() && bytesAhead + *record->bytes > kPartBytesInFlight)
                    return Step::Wait;
                bodiesAhead.emplace_back(number, *record->bytes);
                bytesAhead += *record->bytes;
                body = number;
            }
            article = next;
            command = Numbered("HEAD ", number);
            return Step::Command;
        }
    };
    m_pPipeline->SetPlan(std::move(plan), std::numeric_limits<size_t>::max());
}

// The BODYs of the set's later parts, then of every part of the complete sets after it, sent
// ahead so that the next part's data follows the current part's without a round trip between
// them, and the next set's first part follows this set's last. The sets after it are found as
// NextPartSet will find them; a set the run passes over after its first part leaves the plan,
// and what was sent ahead for it is dropped.
void CExtractionRun::PlanParts() {
    if (m_pPipeline == nullptr)
        return;
    auto plan = [this, slots = m_partTable, next = size_t{1},
                 scan = m_pSetPos](std::string& command) mutable {
        if (m_pGroup == nullptr || m_bCatchUpGroup)
            return Step::End;
        while (next + 1 >= slots.size()) {
            if (scan == m_pending.end())
                return Step::End;
            slots = CompleteSetSlots(m_pending, scan);
            next = 0;
        }
        command = Numbered("BODY ", slots[next++]);
        return Step::Command;
    };
    const size_t lines =
        m_article.lines > 0 ? static_cast<size_t>(m_article.lines) : kUsualPartLines;
    m_pPipeline->SetPlan(std::move(plan), std::clamp(kPartBytesInFlight / (lines * kBytesPerLine),
                                                     kMinPartsInFlight, kMaxPartsInFlight));
}

void CExtractionRun::NextServer() {
    CloseConnection();
    // Whatever the previous server left half done (after a failed send) is dropped: its
    // group record keeps its old values, and a file being written counts as a failed decode.
    CloseOutputFile(true);
    ReleasePartSet();
    DropGroup();

    while (m_nServerPos < m_servers.size()) {
        CGroupTable* table = m_servers[m_nServerPos++].get();
        if (table == nullptr || !table->HasSubscribedGroups())
            continue;
        m_pServer = table;
        m_strLastServer = table->m_strName;
        m_overview.Disable();
        LogMessage(ids::kConnectingTo, ServerName());
        m_pConnection = MakeConnection();
        try {
            if (m_pConnection) {
                m_pConnection->Start();
                SetState(RunState::AwaitingGreeting);
                return;
            }
        } catch (const CConnectionException&) {
        }
        DropConnection();
        LogMessage(ids::kFailedToConnect, ServerName());
    }

    m_pServer = nullptr;
    m_bCompleted = true;
    if (m_bCatchUp) {
        LogMessage(ids::kCatchUpComplete);
    } else {
        LogMessage(ids::kExtractComplete);
        if (m_settings.m_bAutoExit)
            m_host.PostCommand(kExitCommand);
    }
    SetState(RunState::Idle);
}

bool CExtractionRun::Send(const std::string& command) {
    try {
        if (!m_pConnection)
            throw CConnectionException("no connection");
        m_pConnection->SendLine(command);
        return true;
    } catch (const CConnectionException&) {
        LogMessage(ids::kUnableToCommunicate, ServerName());
        NextServer();
        return false;
    }
}

void CExtractionRun::FailLogin() {
    LogMessage(ids::kFailedToConnect, ServerName());
    NextServer();
}

void CExtractionRun::Relogin() {
    m_pConnection->Close();
    const bool confirmed = m_host.LogonPrompt(ServerName());
    // The prompt is modal: the user may have stopped the run meanwhile.
    if (!m_pConnection)
        return;
    if (!confirmed) {
        FailLogin();
        return;
    }
    try {
        m_pConnection->Start();
        SetState(RunState::AwaitingGreeting);
    } catch (const CConnectionException&) {
        DropConnection();
        FailLogin();
    }
}

void CExtractionRun::LoginReply(int code) {
    switch (m_nState) {
    case RunState::AwaitingGreeting:
        if (code != 200 && code != 201)
            return FailLogin();
        if (ServerRecord().GetLoginRequired()) {
            if (Send("AUTHINFO USER " + ServerRecord().GetLoginUser()))
                SetState(RunState::LoginUserSent);
        } else if (Send("MODE READER")) {
            SetState(RunState::ReaderModeRequested);
        }
        return;
    case RunState::LoginUserSent:
        if (code != 381)
            return FailLogin();
        if (Send("AUTHINFO PASS " + ServerRecord().GetLoginPassword()))
            SetState(RunState::LoginPasswordSent);
        return;
    case RunState::LoginPasswordSent:
        if (code == 502)
            return Relogin();
        if (code != 200 && code != 281)
            return FailLogin();
        if (Send("MODE READER"))
            SetState(RunState::ReaderModeRequested);
        return;
    default: // ReaderModeRequested
        if (code == 480)
            return Relogin();
        if (code != 200 && code != 201 && code != 500)
            return FailLogin();
        m_pGroup = nullptr;
        m_nGroupPos = 0;
        // With commands in flight the overview can spare the HEADs of articles it decides.
        if (m_pPipeline == nullptr || m_bCatchUp)
            return NextGroup();
        if (!Send("LIST OVERVIEW.FMT"))
            return;
        SetState(RunState::OverviewFormatRequested);
        // The helpers log in meanwhile, ready for the first walk's commands.
        m_pPipeline->OpenHelpers();
        return;
    }
}

void CExtractionRun::OverviewFormatLine(std::string_view line) {
    if (line != ".")
        return m_overview.AddFormatLine(line);
    if (m_overview.EndFormat())
        DebugTrace(1, "Overview of %s screens the articles%s\n", ServerName().c_str(),
                   m_overview.HasContentType() && m_overview.HasLines()
                       ? ", with Content-Type and Lines"
                       : "");
    else
        DebugTrace(1, "Overview of %s not used: its format lacks Subject or From\n",
                   ServerName().c_str());
    NextGroup();
}

// The status of LIST OVERVIEW.FMT or of a block's XOVER. A server without an overview, or one
// that refuses a block, is read by HEAD alone from then on.
void CExtractionRun::OverviewStatus(int code) {
    const bool format = m_nState == RunState::OverviewFormatRequested;
    if (code == (format ? 215 : 224)) {
        if (format)
            m_overview.BeginFormat();
        return SetState(format ? RunState::ReadingOverviewFormat : RunState::ReadingOverview);
    }
    if (m_overview.IsUsable())
        DebugTrace(1, "Overview of %s refused (%d): headers decide from now on\n",
                   ServerName().c_str(), code);
    m_overview.Disable();
    if (format)
        return NextGroup();
    ResumeWalk();
}

void CExtractionRun::OverviewLine(std::string_view line) {
    if (line != ".")
        return m_overview.AddLine(line);
    m_overview.EndBlock();
    // Where the overview spares few HEADs (a group of parts, each needing its HEAD anyway) its
    // blocks cost more than they save: the rest of the group is read by HEAD alone.
    const std::vector<OverviewRecord>& records = m_overview.Records();
    const auto spared = std::count_if(records.begin(), records.end(), [this](const auto& record) {
        return OverviewVerdict(record) != Verdict::Headers;
    });
    m_bScreenGroup = static_cast<size_t>(spared) * kSparedShare >= records.size();
    if (!m_bScreenGroup)
        DebugTrace(2, "Overview of %s spares %zu of %zu HEADs: the rest of the group by HEAD\n",
                   m_pGroup->name.c_str(), static_cast<size_t>(spared), records.size());
    ResumeWalk();
}

// The walk is at an article the overview's block does not cover, and the group is screened.
bool CExtractionRun::NeedsOverviewBlock(uint32_t number) const {
    return m_bScreenGroup && m_overview.IsUsable() && !m_overview.Covers(number);
}

// After an overview block's reply the walk goes on at the article it was read for.
void CExtractionRun::ResumeWalk() {
    PlanHeads(m_uArticle - 1);
    WalkFrom(m_uArticle);
}

void CExtractionRun::NextGroup() {
    m_bCatchUpGroup = false;
    FinishGroup();
    m_host.SaveSettings();
    try {
        m_pServer->Save();
    } catch (const std::exception& e) {
        // The positions stay in memory and are written by the next save.
        DebugTrace(1, "Saving the newsrc of %s failed: %s\n", ServerName().c_str(), e.what());
    }

    GroupRecord* group = nullptr;
    while (group == nullptr && m_nGroupPos < m_pServer->GetCount()) {
        GroupRecord& record = m_pServer->GetAt(m_nGroupPos++);
        if (record.subscribed)
            group = &record;
    }
    if (group == nullptr)
        return NextServer();

    m_pGroup = group;
    m_bGroupAccepted = false;
    DebugTrace(2, "Set Group: %s Last = %lu\n", group->name.c_str(),
               static_cast<unsigned long>(group->last));
    m_progress.SetGroup(group->name);
    LogMessage(m_bCatchUp ? ids::kCatchingUpGroup : ids::kCheckingGroup, group->name);
    if (!Send("GROUP " + group->name))
        return;
    SetState(RunState::GroupRequested);
    PlanBlockBehindGroup();
}

// A walk without pending numbers begins with the overview's block at the stored position (unless
// the server no longer has the articles there): its XOVER follows the GROUP at once instead of
// a round trip later. A block the walk does not begin with is read and dropped.
void CExtractionRun::PlanBlockBehindGroup() {
    if (m_pPipeline == nullptr || m_bCatchUp || !m_overview.IsUsable() ||
        !m_pGroup->pending.empty())
        return;
    const uint32_t first = static_cast<uint32_t>(std::max<uint64_t>(m_pGroup->last, 1));
    m_pPipeline->SetPlan(
        [block = COverviewScreen::BlockCommand(first), sent = false](std::string& command) mutable {
            if (std::exchange(sent, true))
                return Step::End;
            command = block;
            return Step::Command;
        },
        2); // the GROUP and the block
}

void CExtractionRun::GroupReply(std::string_view line) {
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.empty() || ParseDecimalPrefix(fields[0]) != 211) {
        LogMessage(ids::kInvalidGroup, m_pGroup->name);
        return NextGroup();
    }
    m_uGroupFirst = fields.size() > 2 ? ParseArticleNumber(fields[2]) : 0;
    m_uGroupLast = fields.size() > 3 ? ParseArticleNumber(fields[3]) : 0;
    m_bGroupAccepted = true;
    if (m_bCatchUp) {
        m_pGroup->last = m_uGroupLast;
        m_uArticle = m_uGroupLast;
        return NextGroup();
    }
    m_uArticle = 0;
    m_overview.ClearBlock();
    m_bScreenGroup = true;
    m_nScreened = 0;
    RememberPendingNumbers();
    m_nPendingLeft = static_cast<int>(
        std::min<size_t>(m_pGroup->pending.size(), std::numeric_limits<int>::max()));
    PlanHeads(0);
    NextPendingArticle();
}

// Each pending number is read once, however often the record lists it, and not a second time
// when the walk of the range comes to it.
void CExtractionRun::RememberPendingNumbers() {
    std::vector<uint32_t>& numbers = m_pGroup->pending;
    m_pendingRead = numbers;
    std::sort(m_pendingRead.begin(), m_pendingRead.end());
    m_pendingRead.erase(std::unique(m_pendingRead.begin(), m_pendingRead.end()),
                        m_pendingRead.end());
    if (m_pendingRead.size() == numbers.size())
        return;
    // The first mention of each number stays, in its place.
    std::vector<char> kept(m_pendingRead.size(), 0);
    std::erase_if(numbers, [this, &kept](uint32_t number) {
        const auto index = static_cast<size_t>(
            std::lower_bound(m_pendingRead.begin(), m_pendingRead.end(), number) -
            m_pendingRead.begin());
        return std::exchange(kept[index], char{1}) != 0;
    });
}

bool CExtractionRun::WasReadAsPending(uint64_t number) const {
    return std::binary_search(m_pendingRead.begin(), m_pendingRead.end(), number);
}

// Leaves the current group with its record untouched: stored number and pending numbers stay.
void CExtractionRun::DropGroup() {
    m_pending.Clear();
    m_pSetPos = m_pending.end();
    m_pGroup = nullptr;
    m_bGroupAccepted = false;
}

void CExtractionRun::FinishGroup() {
    if (m_pGroup != nullptr && m_nScreened != 0)
        DebugTrace(2, "Articles of %s passed over on the overview: %zu\n", m_pGroup->name.c_str(),
                   std::exchange(m_nScreened, 0));
    // A group whose walk never began (a stop or an error while its pending articles were
    // being re-read) keeps its record: storing the unset position would restart it from 0.
    if (m_pGroup != nullptr && m_bGroupAccepted && (m_bCatchUp || m_uArticle != 0)) {
        m_pGroup->last = m_uArticle;
        DebugTrace(2, "Update Group: %s Last = %lu\n", m_pGroup->name.c_str(),
                   static_cast<unsigned long>(m_uArticle));
        m_pGroup->pending.clear();
        for (const PendingPart& part : m_pending)
            m_pGroup->pending.push_back(part.record.articleNumber);
        m_pGroup->pending.insert(m_pGroup->pending.end(), m_keptParts.begin(), m_keptParts.end());
    }
    m_keptParts.clear();
    DropGroup();
}

// ---------------------------------------------------------------------------------------------
// Articles

void CExtractionRun::NextPendingArticle() {
    if (m_nPendingLeft <= 0)
        return NextArticle();
    --m_nPendingLeft;
    m_uRequested = m_pGroup->pending[static_cast<size_t>(m_nPendingLeft)];
    if (Send(Numbered("HEAD ", m_uRequested)))
        SetState(RunState::PendingHeadRequested);
}

// The article the walk reads after `article` (0: the walk's first), passing over the pending
// numbers already read; above m_uGroupLast when the walk is done.
uint64_t CExtractionRun::WalkNumberAfter(uint64_t article) const {
    const uint64_t base = std::max(m_uGroupFirst, m_pGroup->last);
    uint64_t next = article == 0 ? std::max<uint64_t>(base, 1) : article + 1;
    while (next <= m_uGroupLast && WasReadAsPending(next))
        ++next;
    return next;
}

void CExtractionRun::NextArticle() {
    WalkFrom(WalkNumberAfter(m_uArticle));
}

// Reads the article `next` of the walk, or the first from there on that the overview does not
// pass over; first the overview's block that holds it, when the server has an overview.
void CExtractionRun::WalkFrom(uint64_t next) {
    const uint64_t base = std::max(m_uGroupFirst, m_pGroup->last);
    for (;; next = WalkNumberAfter(next)) {
        if (m_bCatchUpGroup)
            next = uint64_t{m_uGroupLast} + 1;
        // Numbers past the 32-bit range end the walk instead of wrapping back to its start.
        m_uArticle =
            static_cast<uint32_t>(std::min<uint64_t>(next, std::numeric_limits<uint32_t>::max()));
        if (next > m_uGroupLast || m_uGroupLast == 0)
            break;
        m_progress.SetGroupProgress(m_uArticle, static_cast<uint32_t>(base), m_uGroupLast);
        if (NeedsOverviewBlock(m_uArticle)) {
            m_overview.BeginBlock(m_uArticle);
            if (Send(COverviewScreen::BlockCommand(m_uArticle)))
                SetState(RunState::OverviewRequested);
            return;
        }
        if (ScreenedOut(m_uArticle))
            continue;
        m_uRequested = m_uArticle;
        if (Send(Numbered("HEAD ", m_uArticle)))
            SetState(RunState::HeadRequested);
        return;
    }
    m_pSetPos = m_pending.begin();
    NextPartSet();
}

// After an article: back to the remembered pending numbers while the range walk has not
// begun, else on with the walk.
void CExtractionRun::ContinueAfterArticle() {
    if (m_uArticle == 0)
        NextPendingArticle();
    else
        NextArticle();
}

void CExtractionRun::ArticleStatus(int code) {
    const bool pending = m_nState == RunState::PendingHeadRequested;
    if (code != 221)
        return pending ? NextPendingArticle() : NextArticle();
    m_article.Reset(m_uRequested);
    SetState(pending ? RunState::ReadingPendingHeaders : RunState::ReadingHeaders);
}

void CExtractionRun::HeaderLine(std::string_view line) {
    DebugTraceExact(4, "%.*s\n", static_cast<int>(line.size()), line.data());
    if (StartsWith(line, "From: "))
        m_article.from = line.substr(6);
    else if (StartsWith(line, "Subject: "))
        m_article.subject = line.substr(9);
    else if (StartsWith(line, "Message-ID: "))
        m_article.messageId = line.substr(12);
    else if (StartsWith(line, "Lines: "))
        m_article.lines = ParseDecimalPrefix(line.substr(7));
    else if (StartsWith(line, "Content-Type: "))
        ParseContentType(line, m_article.contentType, m_article.name, m_article.boundary);
}

void CExtractionRun::ClassifyArticle() {
    const std::string& subject = m_article.subject;
    if (m_nState == RunState::ReadingHeaders)
        CheckOverview();
    if (SkipEarly(EarlyVerdict(m_article.from, subject), m_article.from, subject))
        return ContinueAfterArticle();

    if (!m_article.name.empty() && MimeAction(m_mimeTable, m_article.contentType) != 0) {
        if (!CreateOutputFile(m_article.name))
            return ContinueAfterArticle();
        SetState(RunState::MimeBodyRequested);
        m_encoding = Encoding::Undetermined;
        m_nLineCount = 0;
        Send("BODY");
        return;
    }

    PartIdentifier id;
    if (!ParseSubjectPart(subject, id) || IsReply(subject)) {
        if (m_settings.m_bDecodeNoPartID)
            return RequestSingleBody(true);
        return ContinueAfterArticle();
    }
    if (id.part == 0)
        return ContinueAfterArticle();
    if (id.part == 1 && id.total == 1)
        return RequestSingleBody(false);
    if (m_pending.Size() >= kMaxPendingParts)
        DropOldestPendingPart();
    m_pending.Insert(MakePendingPart(m_article, id));
    ContinueAfterArticle();
}

// The rules that need only the author and the subject, in their order: kills, replies, no
// subject.
CExtractionRun::Verdict CExtractionRun::EarlyVerdict(std::string_view from,
                                                     std::string_view subject) const {
    if (FindKillRule(m_killRules, 0, from) != nullptr)
        return Verdict::KillAuthor;
    if (FindKillRule(m_killRules, 1, subject) != nullptr)
        return Verdict::KillSubject;
    if (!m_settings.m_bDecodeReplies && IsReply(subject))
        return Verdict::Skip;
    if (!m_settings.m_bDecodeNoSubject && subject.empty())
        return Verdict::Skip;
    return Verdict::Headers;
}

// True for a skip, after logging a kill.
bool CExtractionRun::SkipEarly(Verdict verdict, std::string_view from, std::string_view subject) {
    if (verdict == Verdict::KillAuthor)
        return KillMatch(0, from);
    if (verdict == Verdict::KillSubject)
        return KillMatch(1, subject);
    return verdict == Verdict::Skip;
}

// The classification of the article's headers as far as its overview carries them: a skip only
// where no header the overview lacks could change the outcome. Content-Type is needed past the
// first rules (a named attachment is fetched whatever its subject and Lines), and Lines for the
// line-count window.
CExtractionRun::Verdict CExtractionRun::OverviewVerdict(const OverviewRecord& record) const {
    const Verdict early = EarlyVerdict(record.from, record.subject);
    if (early != Verdict::Headers || !record.contentType || IsExtractedAttachment(record))
        return early;
    PartIdentifier id;
    if (!ParseSubjectPart(record.subject, id) || IsReply(record.subject)) {
        if (!m_settings.m_bDecodeNoPartID)
            return Verdict::Skip;
        return record.lines && !LinesInWindow(*record.lines) ? Verdict::Skip : Verdict::Headers;
    }
    return id.part == 0 ? Verdict::Skip : Verdict::Headers;
}

// The BODYs NextPartSet will ask for first when the walk is done, as the overview shows the parts
// the walk has still to read, as many as kPartBytesInFlight holds by the overview's sizes: they
// follow the walk's last HEADs without a round trip between. Nothing unless the overview's block
// reaches the walk's end. The parts read so far are in m_pending; the walk's article and those
// after it are not.
std::deque<uint32_t> CExtractionRun::FirstSetBodies() {
    if (!m_overview.IsUsable() || !m_overview.Covers(m_uGroupLast))
        return {};
    PendingPartList parts;
    for (const PendingPart& part : m_pending)
        parts.Insert(part);
    for (const OverviewRecord& record : m_overview.Records()) {
        PartIdentifier id;
        if (record.number < m_uArticle || WasReadAsPending(record.number) ||
            OverviewVerdict(record) != Verdict::Headers || BodyFollowsHead(record) ||
            !ParseSubjectPart(record.subject, id) || IsReply(record.subject) || id.part == 0)
            continue;
        ArticleRecord article;
        article.Reset(record.number);
        article.subject = record.subject;
        article.from = record.from;
        parts.Insert(MakePendingPart(article, id));
    }
    std::deque<uint32_t> bodies;
    uint64_t bytes = 0;
    for (auto pos = parts.begin(); pos != parts.end();) {
        const std::vector<uint32_t> slots = CompleteSetSlots(parts, pos);
        for (size_t i = 0; i + 1 < slots.size(); ++i) {
            // Parts of earlier runs are not in the block: of the usual size, then.
            const OverviewRecord* record = m_overview.Find(slots[i]);
            bytes += record != nullptr && record->bytes ? *record->bytes
                                                        : kUsualPartLines * kBytesPerLine;
            if (bytes > kPartBytesInFlight && !bodies.empty())
                return bodies;
            bodies.push_back(slots[i]);
        }
    }
    return bodies;
}

// A named attachment of a type the MIME table extracts, as far as the overview carries
// Content-Type.
bool CExtractionRun::IsExtractedAttachment(const OverviewRecord& record) const {
    std::string type, name, boundary;
    return record.ContentTypeFields(type, name, boundary) && !name.empty() &&
           MimeAction(m_mimeTable, type) != 0;
}

// Whether the run, once it has the article's headers, will ask for its body: the overview's
// guess, which only decides what is sent ahead.
bool CExtractionRun::BodyFollowsHead(const OverviewRecord& record) const {
    if (IsExtractedAttachment(record))
        return true;
    PartIdentifier id;
    if (!ParseSubjectPart(record.subject, id) || IsReply(record.subject))
        return m_settings.m_bDecodeNoPartID && record.lines && LinesInWindow(*record.lines);
    return id.part == 1 && id.total == 1;
}

const OverviewRecord* CExtractionRun::OverviewOf(uint32_t number) const {
    return m_overview.IsUsable() ? m_overview.Find(number) : nullptr;
}

// In the walk: the article is passed over on its overview, with the log lines its headers
// would have given.
bool CExtractionRun::ScreenedOut(uint32_t number) {
    const OverviewRecord* record = OverviewOf(number);
    if (record == nullptr || !SkipEarly(OverviewVerdict(*record), record->from, record->subject))
        return false;
    ++m_nScreened;
    return true;
}

// The headers of an article the overview described must say what it said; where they do not
// (a folded header, one the server rewrote), the overview cannot be trusted for the others.
void CExtractionRun::CheckOverview() {
    const OverviewRecord* record = OverviewOf(m_article.articleNumber);
    if (record == nullptr)
        return;
    bool same = record->subject == m_article.subject && record->from == m_article.from &&
                (!record->lines || *record->lines == m_article.lines);
    std::string type, name, boundary;
    if (same && record->ContentTypeFields(type, name, boundary))
        same = type == m_article.contentType && name == m_article.name &&
               boundary == m_article.boundary;
    if (same)
        return;
    DebugTrace(
        1, "Overview of %s differs from the headers of article %lu: headers decide from now on\n",
        ServerName().c_str(), static_cast<unsigned long>(m_article.articleNumber));
    m_overview.Disable();
    PlanHeads(m_uArticle);
}

// Far more parts than real sets leave waiting in a group; a server that sends endless parts
// of sets that never complete cannot take memory without bound.
void CExtractionRun::DropOldestPendingPart() {
    auto oldest = std::min_element(m_pending.begin(), m_pending.end(),
                                   [](const PendingPart& a, const PendingPart& b) {
                                       return a.record.articleNumber < b.record.articleNumber;
                                   });
    if (oldest == m_pSetPos)
        ++m_pSetPos;
    m_pending.Erase(oldest, std::next(oldest));
    LogMessage(ids::kPendingPartDropped, m_pGroup != nullptr ? m_pGroup->name : std::string());
}

bool CExtractionRun::KillMatch(int32_t field, std::string_view value) {
    if (FindKillRule(m_killRules, field, value) == nullptr)
        return false;
    LogMessage(ids::kKillingAuthor + static_cast<unsigned>(field), value);
    return true;
}

// The line-count window; -1 is an article without a Lines header.
bool CExtractionRun::LinesInWindow(int32_t lines) const {
    if (lines == -1)
        return m_settings.m_bDecodeNoLines;
    const auto count = static_cast<uint32_t>(lines);
    return count >= m_settings.m_uMinLines && count <= m_settings.m_uMaxLines;
}

void CExtractionRun::RequestSingleBody(bool checkLines) {
    if (checkLines && !LinesInWindow(m_article.lines))
        return ContinueAfterArticle();
    m_nLineCount = 0;
    if (Send("BODY"))
        SetState(RunState::SingleBodyRequested);
}

// ---------------------------------------------------------------------------------------------
// Lines

bool CExtractionRun::OnResponseLine(std::string_view line) {
    if (TakeUuencodedDataLine(line) || TakeYencDataLine(line))
        return IsRunning();
    const auto code = [&line] { return ParseDecimalPrefix(line); };
    switch (m_nState) {
    case RunState::Idle:
        break;
    case RunState::AwaitingGreeting:
    case RunState::LoginUserSent:
    case RunState::LoginPasswordSent:
    case RunState::ReaderModeRequested:
        LoginReply(code());
        break;
    case RunState::GroupRequested:
        GroupReply(line);
        break;
    case RunState::OverviewFormatRequested:
    case RunState::OverviewRequested:
        OverviewStatus(code());
        break;
    case RunState::ReadingOverviewFormat:
        OverviewFormatLine(line);
        break;
    case RunState::ReadingOverview:
        OverviewLine(line);
        break;
    case RunState::PendingHeadRequested:
    case RunState::HeadRequested:
        ArticleStatus(code());
        break;
    case RunState::ReadingHeaders:
    case RunState::ReadingPendingHeaders:
        if (line == ".")
            ClassifyArticle();
        else
            HeaderLine(StripDotStuffing(line));
        break;
    case RunState::SingleBodyRequested:
    case RunState::MimeBodyRequested:
    case RunState::FirstPartRequested:
    case RunState::NextPartRequested:
        BodyStatus(code());
        break;
    default: {
        // Body lines: only "." ends the body; a doubled leading period is the server's.
        const bool end = line == ".";
        BodyLine(end ? std::string_view(line) : StripDotStuffing(line), end);
        break;
    }
    }
    return IsRunning();
}

void CExtractionRun::BodyStatus(int code) {
    switch (m_nState) {
    case RunState::SingleBodyRequested:
        m_bPartHeaders = false;
        if (code != 222)
            return ContinueAfterArticle();
        m_strArticleBoundary = m_article.boundary;
        return SetState(RunState::ScanningBody);
    case RunState::MimeBodyRequested:
        ++m_nLineCount;
        if (code != 222) {
            CloseOutputFile(true);
            return ContinueAfterArticle();
        }
        m_strArticleBoundary = m_article.boundary;
        return SetState(RunState::DecodingMimePart);
    case RunState::FirstPartRequested:
        if (code != 222) {
            ReleasePartSet();
            return NextPartSet();
        }
        return SetState(RunState::ScanningFirstPart);
    default: // NextPartRequested
        return NextPartReply(code);
    }
}

void CExtractionRun::BodyLine(std::string_view line, bool end) {
    switch (m_nState) {
    case RunState::ScanningBody:
        ++m_nLineCount;
        return ScanBodyLine(line, end);
    case RunState::UudecodingSingle:
    case RunState::UudecodingParts:
        ++m_nLineCount;
        UpdateArticleProgress();
        return UudecodeLine(line, end);
    case RunState::DecodingMimePart:
        ++m_nLineCount;
        UpdateArticleProgress();
        return MimePartLine(line, end);
    case RunState::ScanningFirstPart:
        ++m_nLineCount;
        return FirstPartLine(line, end);
    case RunState::YdecodingSingle:
    case RunState::YdecodingParts:
        ++m_nLineCount;
        UpdateArticleProgress();
        return YencLine(line, end);
    case RunState::YencPartEnded:
        if (end)
            RequestNextPart();
        return;
    default: // SkippingPartRest
        if (end)
            NextPartSet();
        return;
    }
}

void CExtractionRun::UpdateArticleProgress() {
    m_progress.SetArticleProgress(static_cast<uint32_t>(m_nLineCount),
                                  static_cast<uint32_t>(m_article.lines));
}

void CExtractionRun::ScanBodyLine(std::string_view line, bool end) {
    if (end)
        return ContinueAfterArticle();
    if (line.empty())
        return;

    if (m_bPartHeaders) {
        if (StartsWith(line, "Content-Transfer-Encoding: ")) {
            m_encoding = IsRawTransferEncoding(line) ? Encoding::Raw : Encoding::Base64;
            return;
        }
        m_bPartHeaders = false;
        std::string fileName;
        if (ParseContentDisposition(line, fileName) && CreateOutputFile(fileName)) {
            m_base64.Reset();
            SetState(RunState::DecodingMimePart);
        }
        return;
    }

    if (StartsWith(line, "Content-Type: ")) {
        std::string type, name, boundary;
        ParseContentType(line, type, name, boundary);
        if (MimeAction(m_mimeTable, type) == 0)
            return;
        if (boundary.empty() && m_strArticleBoundary.empty())
            return;
        m_encoding = Encoding::Undetermined;
        if (name.empty()) {
            m_bPartHeaders = true;
            return;
        }
        if (m_strArticleBoundary.empty())
            m_strArticleBoundary = boundary;
        if (CreateOutputFile(name))
            SetState(RunState::DecodingMimePart);
        return;
    }
    if (StartsWith(line, "begin ") && BeginLine(line))
        SetState(RunState::UudecodingSingle);
    else if (StartsWith(line, "=ybegin "))
        SingleYencFile(line);
}

bool CExtractionRun::BeginLine(std::string_view line) {
    return CreateOutputFile(ParseBeginLine(line));
}

void CExtractionRun::UudecodeLine(std::string_view line, bool end) {
    if (end)
        return UudecodeEnd();
    if (m_bSkipBanner) {
        // Posting tools put a few banner lines at the top of every later part; they are
        // passed over until the part's first line that can be data.
        const bool endsData = !line.empty() && (line[0] == ' ' || line[0] == '`');
        if (!endsData && !CouldBeUuencodedData(line))
            return;
        m_bSkipBanner = false;
    }

    switch (UudecodeDataLine(line, m_decoded)) {
    case UuLineResult::Ignored:
        return;
    case UuLineResult::Error:
        return DecodeFailed();
    case UuLineResult::Data:
        return KeepDecodedData();
    case UuLineResult::EndOfData:
        break;
    }

    FinishOutputFile();
    if (m_nState == RunState::UudecodingSingle) {
        SetState(RunState::ScanningBody);
    } else {
        ReleasePartSet();
        SetState(RunState::SkippingPartRest);
    }
}

// The bulk of a run: a data line in the middle of a uuencoded file, decoded without the
// general dispatch. Any other line, and any line whose decode is not plain data, is left to
// it (nothing has changed then).
bool CExtractionRun::TakeUuencodedDataLine(std::string_view line) {
    const bool decoding =
        m_nState == RunState::UudecodingParts || m_nState == RunState::UudecodingSingle;
    if (!decoding || m_bSkipBanner || line.empty() || line[0] == '.')
        return false;
    if (UudecodeDataLine(line, m_decoded) != UuLineResult::Data)
        return false;
    ++m_nLineCount;
    UpdateArticleProgress();
    KeepDecodedData();
    return true;
}

// The bytes of a data line are in m_decoded: they go to the file in blocks, and a write that
// fails ends the decode.
void CExtractionRun::KeepDecodedData() {
    if (!HandOverDecoded(kDecodedBlock))
        DecodeFailed();
}

bool CExtractionRun::IsDecodingSingle() const {
    return m_nState == RunState::UudecodingSingle || m_nState == RunState::YdecodingSingle;
}

// A file that does not decode: a single one is closed and the body scanned on for more
// files; a set is given up for the rest of its part's body.
void CExtractionRun::DecodeFailed() {
    if (StopIfDiskFailed())
        return;
    LogMessage(ids::kDecodeError, m_strFileName);
    CloseOutputFile(true);
    if (IsDecodingSingle()) {
        SetState(RunState::ScanningBody);
    } else {
        ReleasePartSet();
        SetState(RunState::SkippingPartRest);
    }
}

// The body ended before the uuencoded file did: the file goes on in the set's next part, if
// there is one.
void CExtractionRun::UudecodeEnd() {
    if (m_nState == RunState::UudecodingParts &&
        static_cast<size_t>(m_nNextPart) < m_partTable.size() &&
        m_partTable[static_cast<size_t>(m_nNextPart)] != 0)
        return RequestNextPart();
    ShortFile();
}

// The body ended before the file did.
void CExtractionRun::ShortFile() {
    const bool single = IsDecodingSingle();
    ReleasePartSet();
    CloseOutputFile(true);
    LogMessage(ids::kShortFileError, m_strFileName);
    if (single)
        ContinueAfterArticle();
    else
        NextPartSet();
}

void CExtractionRun::MimePartLine(std::string_view line, bool end) {
    if (m_encoding == Encoding::Undetermined) {
        m_base64.Reset();
        m_encoding = IsRawTransferEncoding(line) ? Encoding::Raw : Encoding::Base64;
    }
    if (StartsWith(line, "Content-") || line.empty())
        return;
    if (end || (!m_strArticleBoundary.empty() && StartsWith(line, m_strArticleBoundary))) {
        FinishOutputFile();
        if (end)
            ContinueAfterArticle();
        else
            SetState(RunState::ScanningBody);
        return;
    }

    if (m_encoding == Encoding::Raw) {
        m_decoded.Append(line);
        m_decoded.Append("\n");
    } else {
        m_base64.DecodeLine(line, m_decoded);
    }
    if (HandOverDecoded(kDecodedBlock) || StopIfDiskFailed())
        return;
    CloseOutputFile(true);
    LogMessage(ids::kDecodeError, m_strFileName);
    SetState(RunState::ScanningBody);
}

// ---------------------------------------------------------------------------------------------
// yEnc

bool CExtractionRun::OpenYencFile(const YencBegin& header) {
    if (!CreateOutputFile(header.name))
        return false;
    m_bYencFile = true;
    m_yenc.Begin(header);
    m_yencStage = m_yenc.HasPartLines() ? YencStage::PartLine : YencStage::Data;
    return true;
}

// A "=ybegin" line in a body read as a whole. A part of a set found outside its set cannot be
// put together and is passed over, as is a line that does not parse.
void CExtractionRun::SingleYencFile(std::string_view line) {
    const std::optional<YencBegin> header = ParseYbeginLine(line);
    if (!header || header->part.value_or(1) != 1 || header->total.value_or(1) != 1)
        return;
    if (OpenYencFile(*header))
        SetState(RunState::YdecodingSingle);
}

// The first part of a set. A body whose header names another part or another total is some
// other file under a like subject: the set is not fetched. Older encoders leave the total out,
// and the subject's total stands.
void CExtractionRun::FirstYencPart(std::string_view line) {
    const std::optional<YencBegin> header = ParseYbeginLine(line);
    if (!header)
        return;
    if (header->part != 1 || header->total.value_or(m_nParts) != m_nParts) {
        ReleasePartSet();
        return SetState(RunState::SkippingPartRest);
    }
    const int part = m_nPart++;
    if (!OpenYencFile(*header))
        return;
    m_progress.SetMultipart(part, m_nParts);
    m_bYencSet = true;
    SetState(RunState::YdecodingParts);
}

void CExtractionRun::YencLine(std::string_view line, bool end) {
    if (end)
        return ShortFile();
    switch (m_yencStage) {
    case YencStage::Header:
        return YencHeaderLine(line);
    case YencStage::PartLine:
        return YencPartLine(line);
    case YencStage::Data:
        break;
    }
    if (StartsWith(line, "=yend"))
        return YencTrailer(line);
    YdecodeDataLine(line, m_decoded);
    KeepDecodedData();
}

// A later part: whatever the poster put in front of its "=ybegin" line is passed over; the
// line itself must name the same file and this part.
void CExtractionRun::YencHeaderLine(std::string_view line) {
    if (!StartsWith(line, "=ybegin "))
        return;
    const std::optional<YencBegin> header = ParseYbeginLine(line);
    if (!header || !m_yenc.IsPartOf(*header, m_nPart - 1) ||
        header->total.value_or(m_nParts) != m_nParts)
        return DecodeFailed();
    m_yencStage = YencStage::PartLine;
}

void CExtractionRun::YencPartLine(std::string_view line) {
    const std::optional<YencPartRange> range =
        StartsWith(line, "=ypart ") ? ParseYpartLine(line) : std::nullopt;
    if (!range || !m_yenc.StartPart(*range))
        return DecodeFailed();
    m_yencStage = YencStage::Data;
}

// The end of a part or of a single file: what was decoded must match the trailer. After a
// part that is not the last, the rest of its body is passed over and the next one requested.
void CExtractionRun::YencTrailer(std::string_view line) {
    const std::optional<YencEnd> trailer = ParseYendLine(line);
    if (!HandOverDecoded(0))
        return DecodeFailed();
    const bool single = IsDecodingSingle();
    const int part = single ? 1 : m_nPart - 1;
    const bool last = single || part == m_nParts;
    if (!trailer || !m_yenc.EndPart(*trailer, part, last))
        return DecodeFailed();
    if (!last)
        return SetState(RunState::YencPartEnded);
    FinishOutputFile();
    if (single)
        return SetState(RunState::ScanningBody);
    ReleasePartSet();
    SetState(RunState::SkippingPartRest);
}

// The bulk of a yEnc run, as TakeUuencodedDataLine: a data line decoded without the general
// dispatch. Keyword lines and dot-stuffed lines are left to it.
bool CExtractionRun::TakeYencDataLine(std::string_view line) {
    const bool decoding =
        m_nState == RunState::YdecodingParts || m_nState == RunState::YdecodingSingle;
    if (!decoding || m_yencStage != YencStage::Data || line.empty() || line[0] == '.' ||
        StartsWith(line, "=y"))
        return false;
    YdecodeDataLine(line, m_decoded);
    ++m_nLineCount;
    UpdateArticleProgress();
    KeepDecodedData();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Multipart sets

void CExtractionRun::NextPartSet() {
    while (m_pSetPos != m_pending.end() && !m_bCatchUpGroup) {
        const PendingPartList::iterator first = m_pSetPos;
        std::vector<uint32_t> slots = CompleteSetSlots(m_pending, m_pSetPos);
        if (slots.empty())
            continue;
        const auto partOne = std::find_if(first, m_pSetPos, [&slots](const PendingPart& part) {
            return part.record.articleNumber == slots[0];
        });
        const PendingPartList::iterator last = m_pSetPos;
        if (StartSet(partOne->record, std::move(slots))) {
            m_pSetPos = m_pending.Erase(first, last);
            return;
        }
    }
    NextGroup();
}

// The set of pending parts at `pos`: the article number of each part in part order and a 0
// after them when the set is complete, empty when it is not. `pos` moves past the set.
std::vector<uint32_t> CExtractionRun::CompleteSetSlots(PendingPartList& parts,
                                                       PendingPartList::iterator& pos) {
    // The parts of one set are neighbours: their key holds the set's name and total.
    const PendingPartList::iterator first = pos;
    size_t count = 0;
    for (; pos != parts.end() && pos->setKey == first->setKey; ++pos)
        ++count;
    // Slots are made only for a run long enough to fill them: a huge total costs nothing.
    const auto total = static_cast<size_t>(first->total);
    if (count < total)
        return {};
    // A part posted twice fills its slot once; the first to arrive is fetched.
    std::vector<uint32_t> slots(total + 1, kMissingPart);
    slots.back() = 0;
    for (auto part = first; part != pos; ++part) {
        uint32_t& slot = slots[static_cast<size_t>(part->part - 1)];
        if (slot == kMissingPart)
            slot = part->record.articleNumber;
    }
    if (std::find(slots.begin(), slots.end() - 1, kMissingPart) != slots.end() - 1)
        return {};
    return slots;
}

// Requests part 1 of a complete set. When that cannot be sent, the set's records stay pending
// and the group goes on; the failure shows at the next command.
bool CExtractionRun::StartSet(const ArticleRecord& first, std::vector<uint32_t> slots) {
    m_article = first;
    m_partTable = std::move(slots);
    m_nParts = static_cast<int>(m_partTable.size() - 1);
    m_nPart = 1;
    m_nNextPart = 1;
    m_nLineCount = 0;
    try {
        if (!m_pConnection)
            throw CConnectionException("no connection");
        m_pConnection->SendLine(Numbered("BODY ", m_partTable[0]));
    } catch (const CConnectionException&) {
        ReleasePartSet();
        return false;
    }
    PlanParts();
    SetState(RunState::FirstPartRequested);
    return true;
}

void CExtractionRun::FirstPartLine(std::string_view line, bool end) {
    if (end) {
        ReleasePartSet();
        return NextPartSet();
    }
    if (StartsWith(line, "=ybegin "))
        return FirstYencPart(line);
    if (!StartsWith(line, "begin "))
        return;
    const int part = m_nPart++;
    if (!BeginLine(line))
        return;
    m_progress.SetMultipart(part, m_nParts);
    m_bSkipBanner = false;
    m_bYencSet = false;
    SetState(RunState::UudecodingParts);
}

void CExtractionRun::RequestNextPart() {
    const uint32_t number = m_partTable[static_cast<size_t>(m_nNextPart)];
    if (!Send(Numbered("BODY ", number)))
        return;
    ++m_nNextPart;
    m_nLineCount = 0;
    SetState(RunState::NextPartRequested);
}

void CExtractionRun::NextPartReply(int code) {
    if (code != 222) {
        CloseOutputFile(true);
        ReleasePartSet();
        return NextPartSet();
    }
    m_progress.SetMultipart(m_nPart, m_nParts);
    ++m_nPart;
    if (m_bYencSet) {
        m_yencStage = YencStage::Header;
        return SetState(RunState::YdecodingParts);
    }
    m_bSkipBanner = true;
    SetState(RunState::UudecodingParts);
}

// ---------------------------------------------------------------------------------------------
// Errors

void CExtractionRun::OnConnectionError(int /*notification*/, int /*error*/) {
    unsigned message = ids::kErrorCommunicating;
    switch (m_nState) {
    case RunState::Idle:
        return;
    case RunState::AwaitingGreeting:
        message = ids::kFailedToConnect;
        break;
    case RunState::LoginUserSent:
    case RunState::LoginPasswordSent:
        message = ids::kErrorLoggingIn;
        break;
    case RunState::PendingHeadRequested:
    case RunState::ReadingPendingHeaders:
        DropGroup();
        break;
    case RunState::UudecodingSingle:
    case RunState::MimeBodyRequested:
    case RunState::DecodingMimePart:
    case RunState::UudecodingParts:
    case RunState::NextPartRequested:
    case RunState::YdecodingSingle:
    case RunState::YdecodingParts:
    case RunState::YencPartEnded:
        // A set cut off by the error stays pending, as an incomplete one would.
        KeepSetParts();
        FinishGroup();
        CloseOutputFile(true);
        break;
    case RunState::FirstPartRequested:
    case RunState::ScanningFirstPart:
        KeepSetParts();
        FinishGroup();
        ReleasePartSet();
        break;
    case RunState::SkippingPartRest:
        FinishGroup();
        ReleasePartSet();
        break;
    default:
        FinishGroup();
        break;
    }
    LogMessage(message, ServerName());
    NextServer();
}

// ---------------------------------------------------------------------------------------------
// Output and log

bool CExtractionRun::CreateOutputFile(std::string_view name) {
    const std::string base = BaseFileName(name);
    if (KillMatch(2, base))
        return false;
    m_strFileName = base;
    m_decoded.Clear();
    m_bYencFile = false;

    std::optional<std::string> groupDir;
    if (m_settings.m_bGroupDirs && m_pGroup != nullptr)
        groupDir = m_pGroup->name;
    switch (m_output.Create(m_settings.m_DecodeDir, groupDir, base)) {
    case OutputFile::CreateResult::AlreadyExists:
        LogMessage(ids::kAlreadyDecoded, base);
        return false;
    case OutputFile::CreateResult::Failed:
        LogMessage(ids::kFailedToCreate, base);
        return false;
    case OutputFile::CreateResult::Created:
        break;
    }
    m_articleList.AddArticle(base, static_cast<uint32_t>(m_article.lines), m_article.from,
                             m_article.subject);
    m_progress.SetArticle(m_article.messageId, m_article.from, m_article.subject, base);
    if (m_settings.m_bLog)
        m_log.WriteFileDecode(base, m_article.from, m_article.subject, Now());
    return true;
}

// Closes a completely decoded file under its final name. Data that could not be written makes
// it a failed decode.
void CExtractionRun::FinishOutputFile() {
    const bool handedOver = HandOverDecoded(0);
    if ((handedOver && m_output.Close()) || StopIfDiskFailed())
        return;
    LogMessage(ids::kDecodeError, m_strFileName);
    if (m_settings.m_bDeleteFails)
        m_output.CloseAndDelete();
    else
        m_output.Keep();
}

// A write that failed for want of space or through an I/O error is no fault of the article:
// every later one would fail the same way and be passed over for good. The run stops instead,
// the article stays to be fetched again (the group keeps its position, a set's parts stay
// pending) and the reason is told. Returns whether it stopped.
bool CExtractionRun::StopIfDiskFailed() {
    const int error = m_output.Error();
    if (!m_output.Failed() ||
        (error != ENOSPC && error != EDQUOT && error != EIO && error != EROFS))
        return false;
    const std::string& path = m_output.Path();
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    const std::string reason = folder + ": " + std::strerror(error);
    m_strStopReason = CStringTable::Format(ids::kDiskFailure, reason);
    LogMessage(ids::kDiskFailure, reason);
    KeepSetParts();
    m_decoded.Clear();
    Stop();
    return true;
}

// The parts of the set being fetched go back to the group's pending numbers when it is left.
void CExtractionRun::KeepSetParts() {
    for (size_t part = 0; part + 1 < m_partTable.size(); ++part)
        m_keptParts.push_back(m_partTable[part]);
}

// Closes the output file of a failed decode, deleting it when failed files are not kept.
void CExtractionRun::CloseOutputFile(bool failed) {
    if (!m_output.IsOpen())
        return;
    if (failed && m_settings.m_bDeleteFails) {
        m_decoded.Clear();
        m_output.CloseAndDelete();
        return;
    }
    HandOverDecoded(0);
    m_output.Keep();
}

// Writes the decoded bytes held back once they reach `atLeast` bytes; false when the write
// failed. Bytes left from a file that is no longer open (a stopped run) are dropped.
bool CExtractionRun::HandOverDecoded(size_t atLeast) {
    if (!m_output.IsOpen()) {
        m_decoded.Clear();
        return true;
    }
    // A write that failed while the connection was idle ends the decode at its next line.
    if (m_output.Failed())
        return false;
    if (m_decoded.Size() < atLeast || m_decoded.Empty())
        return true;
    if (m_bYencFile)
        m_yenc.Add(m_decoded.View());
    const bool written = m_output.Write(m_decoded.Data(), m_decoded.Size());
    m_decoded.Clear();
    return written;
}

// A failed write is remembered by the file and reported by the next write of the decode or
// when it is closed, in the state that handles it.
void CExtractionRun::OnIdle() {
    if (!m_output.IsOpen())
        return;
    if (HandOverDecoded(0))
        m_output.Flush();
}

void CExtractionRun::LogMessage(unsigned id) {
    const std::string& text = CStringTable::Load(id);
    m_logList.AddLine(text);
    if (m_settings.m_bLog)
        m_log.Write(text, Now());
}

void CExtractionRun::LogMessage(unsigned id, std::string_view arg) {
    NoteServerFailure(id);
    const std::string text = CStringTable::Format(id, arg);
    m_logList.AddLine(text);
    if (m_settings.m_bLog)
        m_log.Write(text, Now());
}

void CExtractionRun::NoteServerFailure(unsigned id) {
    switch (id) {
    case ids::kFailedToConnect:
    case ids::kErrorCommunicating:
    case ids::kUnableToCommunicate:
    case ids::kErrorLoggingIn:
        m_bServerFailed = true;
        return;
    default:
        return;
    }
}

void CExtractionRun::OpenLogFile() {
    m_log.Close();
    if (!m_settings.m_bLog)
        return;
    // Without a file the run still logs to the list; nothing is written to a failed handle.
    if (!m_log.Open(m_programFolder, Now()))
        DebugTrace(1, "Cannot create the log file in %s\n", m_programFolder.c_str());
}

void CExtractionRun::LoadMimeTable() {
    m_mimeTable = CMimeTable::LoadMimeTable(m_profile.Hive());
}
