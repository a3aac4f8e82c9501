#pragma once

#include <memory>

#include "common/console/console.h"
#include "common/platform/reactor.h"
#include "common/protocol/fields.h"
#include "server/core/store/group_journal.h"
#include "server/core/store/account_table.h"
#include "server/core/store/group_table.h"
#include "server/core/store/settings_files.h"

namespace zelt::server {

// The account and group tables from the moment the start-up reads them, and their whole-file
// saves. A save that fails is reported on the console and returned, so that the change it
// carried can be taken back before anyone is told it was made.
//
// Check-out marks change many times a second; their changes go to the group journal instead
// of a whole save each, and Groups.zelt is written again from a thread every few seconds while
// marks change, and whole at exit.
class Store {
public:
    static constexpr int RewriteTimer = 1;
    static constexpr Millis RewritePeriod = 5000;

    // tableWriter writes the bytes of both table files (empty: write(2)). Without markJournal,
    // every committed change of the group table is a whole save.
    Store(Reactor& reactor, Console& console, const ServerPaths& paths,
          files::WriteFn tableWriter = {}, bool markJournal = true)
        : reactor_(reactor),
          console_(console),
          paths_(paths),
          tableWriter_(std::move(tableWriter)),
          markJournal_(markJournal),
          journal_(paths.groups) {}
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Allocates both tables and reads Accounts.zelt and Groups.zelt into them (every account not
    // connected). When memory runs out, an error line says which table; nothing is loaded then.
    bool load();
    bool loaded() const { return accounts_ != nullptr && groups_ != nullptr; }

    AccountTable& accounts() { return *accounts_; }
    GroupTable& groups() { return *groups_; }
    const AccountTable& accounts() const { return *accounts_; }
    const GroupTable& groups() const { return *groups_; }

    bool saveAccounts();
    bool saveGroups();

    // Notes that the bytes of a view into the group table changed; commitGroupChanges() makes
    // them last.
    void noteGroupChange(proto::ConstView changed);
    // Makes the noted changes durable (a whole save when the journal cannot take them).
    bool commitGroupChanges();
    const GroupJournal& groupJournal() const { return journal_; }

    // Groups.zelt as a start would see it: the table file with the journal applied.
    static std::unique_ptr<GroupTable> readGroups(const ServerPaths& paths);

private:
    void rewriteGroups();

    Reactor& reactor_;
    Console& console_;
    const ServerPaths& paths_;
    files::WriteFn tableWriter_;
    bool markJournal_;
    GroupJournal journal_;
    bool rewriteFailedShown_ = false;
    std::unique_ptr<AccountTable> accounts_;
    std::unique_ptr<GroupTable> groups_;
};

}  // namespace zelt::server
