#include "server/core/admin/status_displays.h"

#include "server/core/ui/texts.h"

namespace zelt::server {

namespace {

struct StateCounts {
    int used = 0;
    int enabled = 0;
    int disabled = 0;
};

template <class Table, class StateField>
StateCounts countStates(const Table& table, StateField state) {
    StateCounts c;
    for (std::size_t i = 0; i < table.capacity(); ++i) {
        const std::int32_t s = table.record(i).get(state);
        if (s == StateFree) continue;
        ++c.used;
        if (s == StateEnabled) ++c.enabled;
        if (s == StateDisabled) ++c.disabled;
    }
    return c;
}

}  // namespace

int connectedUserCount(const AccountTable& accounts) {
    int n = 0;
    for (std::size_t i = 0; i < accounts.capacity(); ++i) {
        const auto r = accounts.record(i);
        if (r.get(AccountRecord::state) == StateEnabled && r.get(AccountRecord::connected) == 1)
            ++n;
    }
    return n;
}

int checkedOutFileCount(const GroupTable& groups) {
    int n = 0;
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.enabled(g)) continue;
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            if (groups.fileEntry(g, k).get(FileEntry::checkedOut) == 1) ++n;
        }
    }
    return n;
}

void showGroupInformation(Console& console, const GroupTable& groups) {
    const StateCounts c = countStates(groups, GroupRecord::state);
    console.plain(text::GroupInformation);
    console.plain(c.used == 0 ? std::string(text::NoGroup)
                              : text::format(text::GroupCount, c.used, c.enabled, c.disabled));
    console.function(text::CreateGroupLine, tag::CreateGroup);
    if (c.used > 0) console.function(text::DisplayGroupLine, tag::ListGroups);
}

void showAccountInformation(Console& console, const AccountTable& accounts) {
    const StateCounts c = countStates(accounts, AccountRecord::state);
    console.plain(text::AccountInformation);
    console.plain(c.used == 0 ? std::string(text::NoAccount)
                              : text::format(text::AccountCount, c.used, c.enabled, c.disabled));
    console.function(text::CreateAccountLine, tag::CreateAccount);
    if (c.used > 0) {
        console.function(text::DisplayAccountLine, tag::ListAccounts);
        console.function(text::SearchAccountLine, tag::SearchAccounts);
    }
}

void showSessionInformation(Console& console, const AccountTable& accounts,
                            const GroupTable& groups) {
    console.plain(text::SessionInformation);
    const int users = connectedUserCount(accounts);
    if (users > 0) {
        console.plain(text::format(text::UsersConnected, users));
        console.function(text::DisplayConnectedUsers, tag::ListLoggedIn);
    } else {
        console.plain(text::NoUserConnected);
    }
    const int files = checkedOutFileCount(groups);
    if (files > 0) {
        console.plain(text::format(text::FilesCheckedOut, files));
        console.function(text::DisplayCheckedOutFiles, tag::ListCheckedOut);
    } else {
        console.plain(text::NoFileCheckedOut);
    }
}

void showServerReady(Console& console, const std::string& address, int port) {
    // The address as the ready line has room for it.
    constexpr std::size_t kMaxAddress = 79;
    console.separator();
    console.important(text::format(text::ServerReady, address.substr(0, kMaxAddress), port));
}

void showContactInformation(Console& console, std::string_view mailAddress) {
    console.plain(text::ContactInformation);
    console.function(text::SupportAddress, tag::OpenWeb);
    console.function(mailAddress.empty() ? text::SupportMail : mailAddress, tag::OpenMail);
}

void showOnlineManual(Console& console) {
    console.plain(text::OnlineManual);
    console.function(text::ManualAddress, tag::OpenWeb);
}

void listLoggedInUsers(Console& console, const AccountTable& accounts) {
    console.separator();
    console.plain(text::LoggedInUsers);
    for (std::size_t i = 0; i < accounts.capacity(); ++i) {
        const auto r = accounts.record(i);
        if (r.get(AccountRecord::connected) == 1) {
            console.function(r.get(AccountRecord::userName), tag::EditAccount);
        }
    }
}

void listCheckedOutFiles(Console& console, const GroupTable& groups) {
    console.separator();
    console.plain(text::CheckedOutFiles);
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.inUse(g)) continue;
        const std::string name = groups.record(g).get(GroupRecord::name);
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            const auto entry = groups.fileEntry(g, k);
            if (entry.get(FileEntry::checkedOut) == 1) {
                console.function(
                    name + std::string(text::GroupPathSeparator) + entry.get(FileEntry::path),
                    tag::FileProperties);
            }
        }
    }
}

}  // namespace zelt::server
