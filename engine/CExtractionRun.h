#pragma once

#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ActivityLog.h"
#include "engine/ArticleRecord.h"
#include "engine/Base64Decoder.h"
#include "engine/COverviewScreen.h"
#include "engine/CSocketOwnerWnd.h"
#include "engine/INewsConnection.h"
#include "engine/OutputFile.h"
#include "engine/PendingPartList.h"
#include "engine/YencFileCheck.h"
#include "options/KillRule.h"
#include "options/MimeActionEntry.h"
#include "servers/CGroupTable.h"

class CCommandPipeline;
class CProfile;
class CServerRecord;
struct CSettings;
struct GroupRecord;
class IArticleList;
class ILogList;
class IProgressPanel;
class IRunHost;

// The states of an extraction or catch-up run, by number.
enum class RunState : int {
    Idle = 0,
    AwaitingGreeting = 1,
    LoginUserSent = 2,
    LoginPasswordSent = 3,
    ReaderModeRequested = 4,
    GroupRequested = 5,
    PendingHeadRequested = 6,
    HeadRequested = 7,
    ReadingHeaders = 8,
    ReadingPendingHeaders = 9,
    SingleBodyRequested = 10,
    ScanningBody = 11,
    UudecodingSingle = 12,
    MimeBodyRequested = 13,
    DecodingMimePart = 14,
    FirstPartRequested = 15,
    ScanningFirstPart = 16,
    UudecodingParts = 17,
    NextPartRequested = 18,
    SkippingPartRest = 19,
    YdecodingSingle = 20,
    YdecodingParts = 21,
    YencPartEnded = 22, // a part's trailer was read; the rest of its body is passed over
    OverviewFormatRequested = 23,
    ReadingOverviewFormat = 24,
    OverviewRequested = 25,
    ReadingOverview = 26,
};

// The run side of the main frame: the extraction and catch-up state machine with its header
// and body line handlers. It is no window here: the host forwards the run's commands, and the
// connection delivers lines and errors through CSocketOwnerWnd. Each call advances the run by
// one step and sends at most one command.
class CExtractionRun : public CSocketOwnerWnd {
  public:
    static constexpr unsigned kExitCommand = 57665;
    // Parts waiting for their sets in one group, at most.
    static constexpr std::size_t kMaxPendingParts = 20000;

    CExtractionRun(CProfile& profile, ServerTableList& servers, CSettings& settings,
                   std::vector<KillRule>& killRules, NewsConnectionFactory factory,
                   ILogList& logList, IArticleList& articleList, IProgressPanel& progress,
                   IRunHost& host, std::string programFolder);
    ~CExtractionRun() override;
    CExtractionRun(const CExtractionRun&) = delete;
    CExtractionRun& operator=(const CExtractionRun&) = delete;

    // Mode 0 extract, 1 catch-up. Starts a run when idle, otherwise stops the running one.
    void StartOrStop(int mode);
    void CatchUpCurrentGroup();

    void OnConnectionError(int notification, int error) override;
    bool OnResponseLine(std::string_view line) override;
    // Writes the decoded bytes held back, while the server prepares its next reply.
    void OnIdle() override;

    bool IsRunning() const { return m_nState != RunState::Idle; }
    bool IsCatchUp() const { return m_bCatchUp; }
    bool HasCurrentGroup() const { return m_pGroup != nullptr; }
    RunState GetState() const { return m_nState; }
    // Some server's table has a subscribed group.
    bool CanStartExtract() const;
    // Of the latest run: it reached its end ("Extract Complete" or "Catch-up Complete")
    // rather than being stopped, and some server failed to connect, log in or communicate.
    bool HasCompleted() const { return m_bCompleted; }
    bool HasServerFailed() const { return m_bServerFailed; }
    // Why the run stopped by itself before its end (a disk that takes no more data); empty
    // when it did not.
    const std::string& StopReason() const { return m_strStopReason; }
    // The server the latest run worked on last; empty before the first run.
    const std::string& LastServerName() const { return m_strLastServer; }

    // The one way the run reports events: the log list, and the log file when logging.
    void DropOldestPendingPart();
    bool StopIfDiskFailed();
    void KeepSetParts();
    void LogMessage(unsigned id);
    void LogMessage(unsigned id, std::string_view arg);

    // Time source of the log file's name and stamps; tests fix it.
    void SetClock(std::function<std::time_t()> clock) { m_clock = std::move(clock); }

  private:
    enum class Encoding { Undetermined, Raw, Base64 };
    // What an article's author and subject, or its overview, decide: nothing yet (its headers
    // must), a skip, or a kill by the rule on the author or the subject.
    enum class Verdict { Headers, Skip, KillAuthor, KillSubject };
    // Where a yEnc body is: before a later part's "=ybegin" line, before a "=ypart" line, or in
    // the data up to "=yend".
    enum class YencStage { Header, PartLine, Data };

    // Run control.
    void Start();
    void Stop();
    void SetState(RunState state);
    void NextServer();
    void NextGroup();
    void PlanBlockBehindGroup();
    void NextPendingArticle();
    void NextArticle();
    void WalkFrom(uint64_t next);
    void NextPartSet();
    static std::vector<uint32_t> CompleteSetSlots(PendingPartList& parts,
                                                  PendingPartList::iterator& pos);
    void FinishGroup();
    void DropGroup();
    void RememberPendingNumbers();
    bool WasReadAsPending(uint64_t number) const;
    uint64_t WalkNumberAfter(uint64_t article) const;
    void ContinueAfterArticle();
    bool Send(const std::string& command);
    void CloseConnection();
    void DropConnection();
    std::unique_ptr<INewsConnection> MakeConnection();
    void PlanHeads(uint64_t after);
    void PlanParts();
    void Relogin();
    void FailLogin();
    CServerRecord ServerRecord() const;
    const std::string& ServerName() const;

    // Replies.
    void LoginReply(int code);
    void GroupReply(std::string_view line);
    void ArticleStatus(int code);
    void OverviewFormatLine(std::string_view line);
    void OverviewStatus(int code);
    void OverviewLine(std::string_view line);
    void ResumeWalk();
    bool NeedsOverviewBlock(uint32_t number) const;

    // Headers and selection.
    void HeaderLine(std::string_view line);
    void ClassifyArticle();
    Verdict EarlyVerdict(std::string_view from, std::string_view subject) const;
    bool SkipEarly(Verdict verdict, std::string_view from, std::string_view subject);
    Verdict OverviewVerdict(const OverviewRecord& record) const;
    bool ScreenedOut(uint32_t number);
    bool BodyFollowsHead(const OverviewRecord& record) const;
    bool IsExtractedAttachment(const OverviewRecord& record) const;
    std::deque<uint32_t> FirstSetBodies();
    const OverviewRecord* OverviewOf(uint32_t number) const;
    void CheckOverview();
    bool LinesInWindow(int32_t lines) const;
    bool KillMatch(int32_t field, std::string_view value);
    void RequestSingleBody(bool checkLines);

    // Bodies.
    void BodyStatus(int code);
    void BodyLine(std::string_view line, bool end);
    void ScanBodyLine(std::string_view line, bool end);
    bool BeginLine(std::string_view line);
    void UudecodeLine(std::string_view line, bool end);
    void UudecodeEnd();
    void DecodeFailed();
    void ShortFile();
    bool OpenYencFile(const YencBegin& header);
    void SingleYencFile(std::string_view line);
    void FirstYencPart(std::string_view line);
    void YencLine(std::string_view line, bool end);
    void YencHeaderLine(std::string_view line);
    void YencPartLine(std::string_view line);
    void YencTrailer(std::string_view line);
    bool TakeYencDataLine(std::string_view line);
    void RequestNextPart();
    bool IsDecodingSingle() const;
    void MimePartLine(std::string_view line, bool end);
    void FirstPartLine(std::string_view line, bool end);
    void NextPartReply(int code);
    bool StartSet(const ArticleRecord& first, std::vector<uint32_t> slots);
    void UpdateArticleProgress();
    bool TakeUuencodedDataLine(std::string_view line);
    void KeepDecodedData();

    // Output.
    bool CreateOutputFile(std::string_view name);
    void CloseOutputFile(bool failed);
    void FinishOutputFile();
    bool HandOverDecoded(size_t atLeast);
    void ReleasePartSet() { m_partTable.clear(); }
    void LoadMimeTable();
    void OpenLogFile();
    void NoteServerFailure(unsigned id);
    std::time_t Now() const { return m_clock(); }

    CProfile& m_profile;
    ServerTableList& m_servers;
    CSettings& m_settings;
    std::vector<KillRule>& m_killRules;
    NewsConnectionFactory m_factory;
    ILogList& m_logList;
    IArticleList& m_articleList;
    IProgressPanel& m_progress;
    IRunHost& m_host;
    std::string m_programFolder;
    std::function<std::time_t()> m_clock;

    int m_nPart = 0;
    int m_nParts = 0;
    bool m_bCatchUp = false;
    bool m_bCatchUpGroup = false;
    uint32_t m_uGroupFirst = 0;
    uint32_t m_uGroupLast = 0;
    uint32_t m_uArticle = 0;
    int m_nPendingLeft = 0;
    int m_nNextPart = 0;
    int m_nLineCount = 0;
    size_t m_nServerPos = 0;
    size_t m_nGroupPos = 0;
    PendingPartList::iterator m_pSetPos;
    RunState m_nState = RunState::Idle;
    std::vector<uint32_t> m_partTable; // empty: no PartSet
    GroupRecord* m_pGroup = nullptr;
    bool m_bGroupAccepted = false; // the GROUP reply for m_pGroup was 211
    CGroupTable* m_pServer = nullptr;
    std::string m_strLastServer;
    bool m_bCompleted = false;
    bool m_bServerFailed = false;
    std::string m_strStopReason;
    std::vector<uint32_t> m_keptParts;   // a set's parts to stay pending after a stop
    std::vector<uint32_t> m_pendingRead; // the group's pending numbers, sorted
    std::unique_ptr<INewsConnection> m_pConnection;
    CCommandPipeline* m_pPipeline = nullptr; // m_pConnection when it is a pipeline

    uint32_t m_uRequested = 0; // article number of the outstanding HEAD
    ArticleRecord m_article;
    PendingPartList m_pending;
    COverviewScreen m_overview;
    size_t m_nScreened = 0;     // articles of the group passed over on the overview
    bool m_bScreenGroup = true; // its overview is read block by block
    std::vector<MimeActionEntry> m_mimeTable;

    OutputFile m_output;
    std::string m_strFileName; // the open file's name, for messages
    ActivityLog m_log;

    std::string m_strArticleBoundary;
    Encoding m_encoding = Encoding::Undetermined;
    bool m_bPartHeaders = false;
    Base64Decoder m_base64;
    bool m_bSkipBanner = false; // a later part has not shown a data line yet
    bool m_bYencSet = false;    // the set being fetched is yEnc-encoded
    bool m_bYencFile = false;   // the open file is yEnc-encoded: its bytes go to m_yenc
    YencStage m_yencStage = YencStage::Data;
    YencFileCheck m_yenc;
    ByteBuffer m_decoded; // decoded bytes not yet handed to m_output
};
