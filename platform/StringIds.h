#pragma once

// Numbers of the string-table entries used from code. Texts live in res/strings.txt.
namespace ids {
inline constexpr unsigned kTabAll = 1; // the Newsgroups dialog's tabs: kTabAll + tab index
inline constexpr unsigned kTabSubscribed = 2;
inline constexpr unsigned kTabNew = 3;
inline constexpr unsigned kNewsgroupsColumn = 4;
inline constexpr unsigned kAddNewsServer = 5;
inline constexpr unsigned kDownloadingGroupNumber = 6;
inline constexpr unsigned kThirtySeconds = 7;
inline constexpr unsigned kOneMinute = 8;
inline constexpr unsigned kTwoMinutes = 9;
inline constexpr unsigned kConfirmRemoveServer = 10;
inline constexpr unsigned kNewsServerProperties = 11;
inline constexpr unsigned kStopExtracting = 12;
inline constexpr unsigned kConnectingTo = 13;
inline constexpr unsigned kFailedToConnect = 14;
inline constexpr unsigned kUnableToCommunicate = 15;
inline constexpr unsigned kExtractComplete = 16;
inline constexpr unsigned kCheckingGroup = 17;
inline constexpr unsigned kOptions = 18;
inline constexpr unsigned kInvalidGroup = 19;
inline constexpr unsigned kErrorCommunicating = 20;
inline constexpr unsigned kErrorLoggingIn = 21;
inline constexpr unsigned kAlreadyDecoded = 22;
inline constexpr unsigned kFailedToCreate = 23;
inline constexpr unsigned kDecodeError = 25;
inline constexpr unsigned kNewerVersion = 28; // "%1": the download address
inline constexpr unsigned kCatchingUpGroup = 29;
inline constexpr unsigned kCatchUpComplete = 30;
inline constexpr unsigned kColumnFileName = 31;
inline constexpr unsigned kColumnAuthor = 32;
inline constexpr unsigned kColumnSubject = 33;
inline constexpr unsigned kColumnLines = 34;
inline constexpr unsigned kNo = 35;
inline constexpr unsigned kKillingAuthor = 41; // + the kill rule's field code
inline constexpr unsigned kKillingSubject = 42;
inline constexpr unsigned kKillingFileName = 43;
inline constexpr unsigned kShortFileError = 44;
inline constexpr unsigned kAddingKillRule = 45; // + the kill rule's field code
inline constexpr unsigned kAddingKillRuleSubject = 46;
inline constexpr unsigned kAddingKillRuleFileName = 47;
inline constexpr unsigned kFileDecodeLogLine = 48;
inline constexpr unsigned kUnableToAccessNewsgroups = 50;
inline constexpr unsigned kIndicatorDate = 103;
inline constexpr unsigned kSocketsInitFailed = 104;
inline constexpr unsigned kIndicatorTime = 105;
inline constexpr unsigned kMemoryKb = 106;
inline constexpr unsigned kDiskFree = 107; // "%lu KB Free on %s": kilobytes, mount point
inline constexpr unsigned kUnavailable = 108;
inline constexpr unsigned kMainTitle = 128; // the window title is the text before the line break
inline constexpr unsigned kApplicationName = 57344;
inline constexpr unsigned kForHelpPressF1 = 57345;
inline constexpr unsigned kSelectObjectForHelp = 57346;
inline constexpr unsigned kIndicatorCaps = 59137;
inline constexpr unsigned kIndicatorNum = 59138;
inline constexpr unsigned kIndicatorScroll = 59139;
inline constexpr unsigned kNoHelpTopic = 200;     // "%1": the topic number
inline constexpr unsigned kNoHelpFile = 201;      // "%1": the topic number
inline constexpr unsigned kHelpFileMissing = 202; // "%1": the places looked in
inline constexpr unsigned kSearchTopics = 203;
inline constexpr unsigned kColumnTopic = 204;
inline constexpr unsigned kColumnNumber = 205;
inline constexpr unsigned kPendingPartDropped = 300; // "%1": the group
inline constexpr unsigned kDiskFailure = 301;        // "%1": the folder and the reason
// Commands' status-bar prompts and tooltips ("prompt\ntooltip") are stored under the command IDs.
} // namespace ids
