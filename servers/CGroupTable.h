#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "servers/CGroupRecordList.h"
#include "servers/GroupRecord.h"

class CProfile;
class IGroupListHost;

// The newsgroup table of one server, persisted in its .newsrc file. Records keep
// their addresses (handles) until the table is destroyed.
class CGroupTable {
  public:
    // What Save appends to the file's path for the previous file.
    static constexpr std::string_view kBackupSuffix = ".backup";

    CGroupTable(CProfile& profile, std::string serverName);
    virtual ~CGroupTable();

    std::string m_strName;
    bool m_bListFetched = false;

    // Reads the .newsrc file, or fetches the full list when there is none (the fetch's
    // exceptions reach the caller). A file that exists but cannot be read throws
    // std::runtime_error and is never replaced by this table.
    void Load();
    // Replaces the .newsrc file, unless it must stay (see Load; and while the table holds a
    // group list that ended early through a failure, which the next start fetches again). With
    // "m_bBackupNewsrc" on, the first replacement in this process keeps the file as it was as path
    // + kBackupSuffix; later ones leave that backup alone, so that it holds the state from before
    // this process changed anything. Throws std::runtime_error when the file cannot be written.
    void Save();
    std::string GetNewsrcPath();
    bool HasSubscribedGroups() const;
    // The record named exactly `name`, searched from near `hint` (-1: none), or null.
    GroupRecord* FindGroup(std::string_view name, long hint) const;

    std::size_t GetCount() const { return m_records.Size(); }
    GroupRecord& GetAt(std::size_t index) const { return m_records.At(index); }
    GroupRecord& Append(std::unique_ptr<GroupRecord> record);
    // Puts the record after the last one whose name is <= its own (name-ordered table).
    GroupRecord& InsertOrdered(std::unique_ptr<GroupRecord> record);

    // Adds the group of one LIST or NEWGROUPS reply line, taking over the state of
    // the same group in `previous` when there is one.
    void AddListLine(std::string_view line, const CGroupTable* previous);
    void FetchFullList(const CGroupTable* previous);
    void FetchNewGroups();

    static void SetListHost(IGroupListHost* host);

  private:
    std::size_t InsertPosition(std::string_view name) const;
    std::size_t ProbedInsertPosition(std::string_view name) const;
    GroupRecord* FindInNameOrder(std::string_view name, std::size_t start) const;
    GroupRecord* ProbedFind(std::string_view name, std::size_t start) const;
    IGroupListHost& ListHost() const;
    [[noreturn]] void KeepUnreadableFile(const std::string& path, int error);
    [[noreturn]] void RefuseEndlessList() const;

    CProfile& m_profile;
    CGroupRecordList m_records;
    // Whether the names ascend (equal neighbours allowed). Searches then take shortcuts
    // that give the same results as the probing scans, which serve any other order.
    bool m_bInNameOrder = true;
    // Whether the .newsrc file exists but could not be read: it is never replaced.
    bool m_bKeepFile = false;
    // Whether the table holds a group list that a failure ended early.
    bool m_bListIncomplete = false;
    // Whether this process replaced the file already (then its backup is taken); a table that
    // replaces another one for the same server (Reset List) takes this over.
    bool m_bReplaced = false;
};

// The process-wide list of tables, in registry enumeration order.
using ServerTableList = std::vector<std::unique_ptr<CGroupTable>>;
extern ServerTableList g_serverTables;
// The first table in g_serverTables named exactly `name`, or null.
CGroupTable* FindServerTable(std::string_view name);
