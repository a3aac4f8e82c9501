#include "server/core/session/session_requests.h"

#include "common/protocol/layouts.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

using proto::Opcode;
using proto::Packet;

void SessionRequests::onReqLogin(ConnectionId id, const Packet& request) {
    const ConnectionSlot* slot = slots_.find(id);
    // One account per connection: a second log-in on a logged-in connection is not ours to
    // settle by closing this very connection, so it is ignored; so is one sent while the first
    // still waits for its answer.
    if (slot == nullptr || slot->account >= 0 || throttle_.busy(id)) return;
    const std::string userName = request.get(proto::ReqLogin::userName);
    const std::string password = request.get(proto::ReqLogin::password);
    throttle_.attempt(
        id, userName, slot->address, [this, id, userName, password] {
            return logIn(id, userName, password);
        },
        [this, id](const std::string& refusal) {
            Packet reply(Opcode::RepLogin);
            reply.set(proto::RepLogin::result, 0);
            reply.set(proto::RepLogin::reason, refusal);
            slots_.answer(id, reply.bytes());
            slots_.free(id);
        });
}

LoginThrottle::Outcome SessionRequests::logIn(ConnectionId id, const std::string& userName,
                                              const std::string& password) {
    using Result = LoginThrottle::Outcome::Result;
    const ConnectionSlot* slot = slots_.find(id);
    if (slot == nullptr || slot->account >= 0) return {};

    AccountTable& accounts = store_.accounts();
    const int account = accounts.findByUserName(userName);
    if (account < 0) return {Result::Refused, std::string(text::UserNotFound), false};
    auto r = accounts.record(static_cast<std::size_t>(account));
    if (r.get(AccountRecord::password) != password) {
        return {Result::Refused, std::string(text::PasswordNotMatch), true};
    }
    if (r.get(AccountRecord::state) == StateDisabled) {
        return {Result::Refused, std::string(text::AccountDisabled), true};
    }

    if (r.get(AccountRecord::connected) == 1) {
        // The newest log-in wins; the older connection is closed without a word.
        r.set(AccountRecord::connected, 0);
        sessions_.disconnectAccount(account, false);
    }
    sessions_.bind(id, account);
    Packet reply(Opcode::RepLogin);
    reply.set(proto::RepLogin::result, 1);
    // Tells a client of ours that it may keep requests in flight; any other reads an empty reason.
    if (offerPipelining_) {
        reply.set(proto::RepLogin::mark,
                  std::span(reinterpret_cast<const std::uint8_t*>(proto::kServerMark.data()),
                            proto::kServerMark.size()));
    }
    slots_.answer(id, reply.bytes());
    return {Result::LoggedIn, "", true};
}

void SessionRequests::onReqChangePassword(ConnectionId id, const Packet& request) {
    const int account = sessions_.accountOf(id);
    if (account < 0) return;
    auto r = store_.accounts().record(static_cast<std::size_t>(account));
    Packet reply(Opcode::RepChangePassword);
    const std::string stored = r.get(AccountRecord::password);
    if (stored != request.get(proto::ReqChangePassword::current)) {
        reply.set(proto::RepChangePassword::result, 0);
        reply.set(proto::RepChangePassword::reason, text::PasswordNotMatch);
    } else {
        r.set(AccountRecord::password, request.get(proto::ReqChangePassword::replacement));
        if (store_.saveAccounts()) {
            reply.set(proto::RepChangePassword::result, 1);
        } else {
            // Saying "changed" for a password that the next start would not know is a lie.
            r.set(AccountRecord::password, stored);
            reply.set(proto::RepChangePassword::result, 0);
            reply.set(proto::RepChangePassword::reason, text::PasswordNotSaved);
        }
    }
    slots_.answer(id, reply.bytes());
}

void SessionRequests::onReqGroupList(ConnectionId id) {
    const std::string userName = sessions_.userNameOf(id);
    if (userName.empty()) return;
    const GroupTable& groups = store_.groups();
    Packet reply(Opcode::RepGroupList,
                 proto::RepGroupList::sizeFor(proto::RepGroupList::kMaxNames));
    std::size_t count = 0;
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.enabled(g)) continue;
        const std::string name = groups.record(g).get(GroupRecord::name);
        if (name.empty() || !groups.isMember(g, userName)) continue;
        reply.set(proto::RepGroupList::names.at(count), name);
        ++count;
    }
    reply.set(proto::RepGroupList::count, static_cast<std::uint8_t>(count));
    reply.resize(proto::RepGroupList::sizeFor(count));
    slots_.answer(id, reply.bytes());
}

void SessionRequests::onReqFileList(ConnectionId id, const Packet& request) {
    const std::string groupName = request.get(proto::ReqFileList::groupName);
    const std::int32_t start = request.get(proto::ReqFileList::start);
    constexpr auto kPage = static_cast<std::int64_t>(proto::RepFileList::kPageSize);

    const GroupTable& groups = store_.groups();
    Packet reply(Opcode::RepFileList);
    reply.set(proto::RepFileList::groupName, groupName);
    const int group = groups.findByName(groupName);
    // Only a member sees a group's files; anyone else gets an empty page.
    const bool member = group >= 0 && groups.enabled(static_cast<std::size_t>(group)) &&
                        groups.isMember(static_cast<std::size_t>(group), sessions_.userNameOf(id));
    std::int32_t count = 0;
    if (member && start >= 0) {
        const auto last = static_cast<std::int64_t>(MaxMemberFiles) - 1;
        for (std::int64_t k = start; k < start + kPage && k <= last; ++k) {
            const auto entry =
                groups.fileEntry(static_cast<std::size_t>(group), static_cast<std::size_t>(k));
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
    // A full page says that more may follow.
    reply.set(proto::RepFileList::more, count == kPage ? 1 : 0);
    reply.set(proto::RepFileList::count, count);
    slots_.answer(id, reply.bytes());
}

void SessionRequests::onReqPipeline(ConnectionId id, const Packet& request) {
    if (ConnectionSlot* slot = slots_.find(id)) {
        slot->pipelineFeatures = request.get(proto::ReqPipeline::features);
        // A client with requests in flight cuts answers out of the stream itself.
        slot->connection->setBatching(true);
    }
}

void SessionRequests::onReqKeepAlive(ConnectionId id) {
    if (ConnectionSlot* slot = slots_.find(id)) slot->activity = 1;
    slots_.answer(id, Packet(Opcode::RepKeepAlive).bytes());
}

}  // namespace zelt::server
