// Log-in and the session requests: password change, group list, file-list pages, keep-alive,
// notice.
#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "server/core/names.h"
#include "server/core/server.h"

namespace zelt::server {

using proto::Opcode;
using proto::Packet;

namespace {

constexpr std::string_view kUserNotFound = "User not found.";
constexpr std::string_view kPasswordNotMatch = "Password not match.";
constexpr std::string_view kAccountDisabled = "Account is disabled by administrator.";
constexpr std::string_view kPasswordNotSaved = "The server could not save the new password.";

}  // namespace

void Server::handleLogIn(int slot, std::span<const std::uint8_t> bytes) {
    // One account per connection: a second log-in on a logged-in connection is not ours to
    // settle by closing this very connection, so it is ignored.
    if (slots_[static_cast<std::size_t>(slot)].account >= 0) return;
    const Packet request = Packet::received(bytes, proto::findOpcode(20)->sent);
    const std::string userName = request.get(proto::ReqLogin::userName);
    const std::string password = request.get(proto::ReqLogin::password);

    Packet reply(Opcode::RepLogin);
    const int account = accounts_->findByUserName(userName);
    std::string_view refusal;
    if (account < 0) {
        refusal = kUserNotFound;
    } else {
        const auto r = accounts_->record(static_cast<std::size_t>(account));
        if (r.get(AccountRecord::password) != password) {
            refusal = kPasswordNotMatch;
        } else if (r.get(AccountRecord::state) == StateDisabled) {
            refusal = kAccountDisabled;
        }
    }
    if (!refusal.empty()) {
        reply.set(proto::RepLogin::result, 0);
        reply.set(proto::RepLogin::reason, refusal);
        slots_.send(slot, reply.bytes());
        slots_.free(slot);
        return;
    }

    auto r = accounts_->record(static_cast<std::size_t>(account));
    if (r.get(AccountRecord::connected) == 1) {
        // The newest log-in wins; the older connection is closed without a word.
        r.set(AccountRecord::connected, 0);
        disconnectAccount(account, false);
    }
    r.set(AccountRecord::connected, 1);
    ConnectionSlot& s = slots_[static_cast<std::size_t>(slot)];
    s.account = account;
    s.activity = 1;
    reply.set(proto::RepLogin::result, 1);
    slots_.send(slot, reply.bytes());
}

void Server::handleChangePassword(int slot, std::span<const std::uint8_t> bytes) {
    const Packet request = Packet::received(bytes, proto::findOpcode(21)->acceptedUpTo);
    auto r = accounts_->record(static_cast<std::size_t>(accountOf(slot)));
    Packet reply(Opcode::RepChangePassword);
    const std::string stored = r.get(AccountRecord::password);
    if (stored != request.get(proto::ReqChangePassword::current)) {
        reply.set(proto::RepChangePassword::result, 0);
        reply.set(proto::RepChangePassword::reason, kPasswordNotMatch);
    } else {
        r.set(AccountRecord::password, request.get(proto::ReqChangePassword::replacement));
        if (saveAccounts()) {
            reply.set(proto::RepChangePassword::result, 1);
        } else {
            // Saying "changed" for a password that the next start would not know is a lie.
            r.set(AccountRecord::password, stored);
            reply.set(proto::RepChangePassword::result, 0);
            reply.set(proto::RepChangePassword::reason, kPasswordNotSaved);
        }
    }
    slots_.send(slot, reply.bytes());
}

void Server::handleGroupList(int slot) {
    const std::string userName = userNameOf(slot);
    if (userName.empty()) return;
    Packet reply(Opcode::RepGroupList, proto::RepGroupList::sizeFor(proto::RepGroupList::kMaxNames));
    std::size_t count = 0;
    for (std::size_t g = 0; g < groups_->capacity(); ++g) {
        if (!groups_->enabled(g)) continue;
        const std::string name = groups_->record(g).get(GroupRecord::name);
        if (name.empty() || !groups_->isMember(g, userName)) continue;
        reply.set(proto::RepGroupList::names.at(count), name);
        ++count;
    }
    reply.set(proto::RepGroupList::count, static_cast<std::uint8_t>(count));
    reply.resize(proto::RepGroupList::sizeFor(count));
    slots_.send(slot, reply.bytes());
}

void Server::handleFileList(int slot, std::span<const std::uint8_t> bytes) {
    const Packet request = Packet::received(bytes, proto::findOpcode(23)->sent);
    const std::string groupName = request.get(proto::ReqFileList::groupName);
    const std::int32_t start = request.get(proto::ReqFileList::start);

    Packet reply(Opcode::RepFileList);
    reply.set(proto::RepFileList::groupName, groupName);
    const int group = groups_->findByName(groupName);
    // Only a member sees a group's files; anyone else gets an empty page.
    const bool member = group >= 0 && groups_->enabled(static_cast<std::size_t>(group)) &&
                        groups_->isMember(static_cast<std::size_t>(group), userNameOf(slot));
    std::int32_t count = 0;
    if (member && start >= 0) {
        const auto last = static_cast<std::int64_t>(MaxMemberFiles) - 1;
        for (std::int64_t k = start; k < static_cast<std::int64_t>(start) + 5 && k <= last; ++k) {
            const auto entry = groups_->fileEntry(static_cast<std::size_t>(group),
                                                  static_cast<std::size_t>(k));
            const std::string path = entry.get(FileEntry::path);
            if (path.empty()) continue;
            reply.set(proto::RepFileList::path.at(static_cast<std::size_t>(count)), path);
            if (entry.get(FileEntry::checkedOut) == 1) {
                reply.set(proto::RepFileList::holder.at(static_cast<std::size_t>(count)),
                          entry.get(FileEntry::holder));
            }
            ++count;
        }
    }
    reply.set(proto::RepFileList::more, count == 5 ? 1 : 0);
    reply.set(proto::RepFileList::count, count);
    slots_.send(slot, reply.bytes());
}

void Server::handleKeepAlive(int slot) {
    slots_[static_cast<std::size_t>(slot)].activity = 1;
    slots_.send(slot, Packet(Opcode::RepKeepAlive).bytes());
}

void Server::handleNotice(int slot) {
    Packet reply(Opcode::RepNotice);
    if (notice_.sending()) reply.set(proto::RepNotice::text, notice_.textView());
    slots_.send(slot, reply.bytes());
}

}  // namespace zelt::server
