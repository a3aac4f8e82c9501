#include "server/core/store/store.h"

#include <new>

#include "common/platform/files.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

bool Store::load() {
    try {
        groups_ = std::make_unique<GroupTable>();
    } catch (const std::bad_alloc&) {
        console_.error(text::GroupAllocationFailed);
        return false;
    }
    groups_->load(paths_.groups);
    const auto image = groups_->mutableImage();
    const bool journaled = GroupJournal::hasFiles(paths_.groups);
    GroupJournal::replay(paths_.groups, image);
    // A table written whole again leaves nothing for the next start to replay; should that
    // fail, the journal goes on from what was replayed.
    if ((!journaled || !saveGroups()) && markJournal_) journal_.follow(image);
    try {
        accounts_ = std::make_unique<AccountTable>();
    } catch (const std::bad_alloc&) {
        groups_.reset();
        console_.error(text::AccountAllocationFailed);
        return false;
    }
    // Loosened by hand or by a restore, the file would stay readable to others until the first
    // save; the passwords in it are only scrambled.
    if (files::restrictToOwner(paths_.accounts)) console_.important(text::AccountsTightened);
    accounts_->load(paths_.accounts);
    return true;
}

bool Store::saveAccounts() {
    if (accounts_->save(paths_.accounts, tableWriter_)) return true;
    console_.error(text::AccountsNotSaved);
    return false;
}

Store::~Store() {
    reactor_.killTimer(this, RewriteTimer);
}

bool Store::saveGroups() {
    // A rewrite under way holds an older image; it must not land after this one.
    journal_.waitForRewrite();
    if (groups_->save(paths_.groups, tableWriter_)) {
        if (markJournal_) {
            journal_.tableSaved(groups_->image());
        } else {
            journal_.discardAll();
        }
        return true;
    }
    console_.error(text::GroupsNotSaved);
    return false;
}

void Store::noteGroupChange(proto::ConstView changed) {
    if (!markJournal_) return;
    const auto image = groups_->image();
    const auto bytes = changed.bytes();
    journal_.note(image, static_cast<std::size_t>(bytes.data() - image.data()), bytes.size());
}

bool Store::commitGroupChanges() {
    if (!markJournal_) return saveGroups();
    if (!journal_.pending()) return true;
    if (!journal_.broken() && journal_.commit()) {
        (void)journal_.maintain(groups_->image(), false, tableWriter_);
        if (!reactor_.timerRunning(this, RewriteTimer)) {
            reactor_.startTimer(this, RewriteTimer, RewritePeriod, TimerMode::OneShot,
                                [this] { rewriteGroups(); });
        }
        return true;
    }
    return saveGroups();
}

void Store::rewriteGroups() {
    if (!journal_.maintain(groups_->image(), true, tableWriter_)) {
        // The journal keeps every change meanwhile; one line says the table lags behind.
        if (!rewriteFailedShown_) console_.error(text::GroupsNotSaved);
        rewriteFailedShown_ = true;
    } else {
        rewriteFailedShown_ = false;
    }
    // Until the rewrite has finished and nothing is left in the journal.
    if (journal_.pending() || journal_.rewriting() || journal_.hasRecords()) {
        reactor_.startTimer(this, RewriteTimer, RewritePeriod, TimerMode::OneShot,
                            [this] { rewriteGroups(); });
    }
}

std::unique_ptr<GroupTable> Store::readGroups(const ServerPaths& paths) {
    auto table = std::make_unique<GroupTable>();
    table->load(paths.groups);
    GroupJournal::replay(paths.groups, table->mutableImage());
    return table;
}

}  // namespace zelt::server
