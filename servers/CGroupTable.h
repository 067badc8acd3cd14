#pragma once

// Interface sketch; the implementation owns the final shape (see the brief).
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "servers/GroupRecord.h"

class CProfile;
class IGroupListHost;

// The newsgroup table of one server, persisted in its .newsrc file. Records keep
// their addresses (handles) until the table is destroyed.
class CGroupTable {
public:
    CGroupTable(CProfile& profile, std::string serverName);
    virtual ~CGroupTable();

    std::string m_strName;
    bool m_bListFetched = false;

    void Load();                 // .newsrc, or a full-list fetch when it cannot be opened
    void Save(bool backup);      // throws std::runtime_error when the file cannot be written
    std::string GetNewsrcPath(); // writes the default path back into the server record
    bool HasSubscribedGroups() const;
    GroupRecord* FindGroup(std::string_view name, long hint) const;

    std::size_t GetCount() const;
    GroupRecord& GetAt(std::size_t index) const;
    GroupRecord& Append(std::unique_ptr<GroupRecord> record);
    GroupRecord& InsertOrdered(std::unique_ptr<GroupRecord> record);

    void AddListLine(std::string_view line, const CGroupTable* previous);
    void FetchFullList(const CGroupTable* previous);
    void FetchNewGroups();

    static void SetListHost(IGroupListHost* host);
};

// The process-wide list of tables, in registry enumeration order.
using ServerTableList = std::vector<std::unique_ptr<CGroupTable>>;
extern ServerTableList g_serverTables;
