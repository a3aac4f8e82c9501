#include "server/core/relay/message_relay.h"

#include <algorithm>
#include <vector>

#include "common/protocol/layouts.h"
#include "common/ui/shared_windows.h"
#include "server/core/store/names.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

using proto::Opcode;
using proto::Packet;

namespace {

constexpr std::string_view kEveryone = "@<all>";
constexpr char kGroupMark = '@';
constexpr char kSeparator = ';';
// A recipient of more characters than this ends the list.
constexpr std::size_t kMaxTokenLength = 30;

Packet messagePush(std::string_view sender, std::string_view message, std::int32_t important) {
    Packet push(Opcode::PushMessage);
    push.set(proto::PushMessage::important, important);
    push.set(proto::PushMessage::sender, sender);
    push.set(proto::PushMessage::text, message);
    return push;
}

}  // namespace

void MessageRelay::onReqSendMessage(ConnectionId id, const Packet& request) {
    // The sender is whoever is logged in on this connection, never the name the packet
    // carries: nobody can pose as the administrator or as another user.
    const std::string sender = sessions_.userNameOf(id);
    relay(sender, id, request.get(proto::ReqSendMessage::recipients),
          request.get(proto::ReqSendMessage::text), request.get(proto::ReqSendMessage::important));
    pace(id);
}

void MessageRelay::pace(ConnectionId id) {
    const int account = sessions_.accountOf(id);
    if (account < 0 || static_cast<std::size_t>(account) >= nextTurn_.size()) return;
    const Millis now = reactor_.now();
    Millis& turn = nextTurn_[static_cast<std::size_t>(account)];
    turn = std::max(turn, now) + MessageInterval;
    // Up to a burst ahead of the rate goes at once; past it the sender waits.
    const Millis resumeAt = turn - MessageBurst * MessageInterval;
    if (resumeAt > now) slots_.holdReading(id, resumeAt);
}

void MessageRelay::sendAdminMessage(std::string_view recipients, std::string_view message,
                                    bool important) {
    // A window written while the server listened and sent after it closed: the message could
    // only be counted as sent to nobody.
    if (!slots_.listening()) {
        console_.important(text::CommunicationIsClosed);
        return;
    }
    relay(ReservedUserName, ConnectionId{},
          std::string(proto::capped(recipients, ui::MaxRecipients)),
          proto::capped(message, ui::MaxMessage), important ? 1 : 0);
}

int MessageRelay::relay(std::string_view sender, ConnectionId senderId, std::string recipients,
                        std::string_view message, std::int32_t important) {
    recipients = lowerAscii(recipients);
    int count = 0;
    if (recipients.find(kEveryone) != std::string::npos) {
        count = deliver(kEveryone, sender, message, important);
    } else {
        // Each token is served once, however often the list names it.
        std::vector<std::string> served;
        std::size_t at = 0;
        while (at <= recipients.size()) {
            const std::size_t end = std::min(recipients.find(kSeparator, at), recipients.size());
            if (end - at > kMaxTokenLength) break;
            const std::string token = recipients.substr(at, end - at);
            if (std::find(served.begin(), served.end(), token) == served.end()) {
                served.push_back(token);
                count += deliver(token, sender, message, important);
            }
            if (end == recipients.size()) break;
            at = end + 1;
        }
    }
    if (isReservedUserName(sender)) {
        console_.plain(text::format(text::MessageSent, count));
    } else {
        Packet reply(Opcode::RepSendMessage);
        reply.set(proto::RepSendMessage::count, count);
        slots_.answer(senderId, reply.bytes());
    }
    return count;
}

int MessageRelay::deliver(std::string_view token, std::string_view sender, std::string_view message,
                          std::int32_t important) {
    if (token.empty()) return 0;
    if (token.find(kEveryone) != std::string_view::npos) {
        const Packet push = messagePush(sender, message, important);
        int sent = 0;
        sessions_.forEachConnected([&](ConnectionId id, int account) {
            const auto r = store_.accounts().record(static_cast<std::size_t>(account));
            if (equalsIgnoringCase(r.get(AccountRecord::userName), sender)) return;
            slots_.send(id, push.bytes());
            ++sent;
        });
        // Everyone includes the administrator.
        showReceivedMessage(sender, message, important);
        return sent + 1;
    }
    if (token.front() == kGroupMark) {
        const GroupTable& groups = store_.groups();
        const int group = groups.findByName(token.substr(1));
        if (group < 0) return 0;
        const auto g = groups.record(static_cast<std::size_t>(group));
        int sent = 0;
        for (std::size_t k = 0; k < GroupRecord::members.count; ++k) {
            const std::string member = g.get(GroupRecord::members.at(k));
            if (!member.empty()) sent += deliverToUser(member, sender, message, important);
        }
        return sent;
    }
    return deliverToUser(token, sender, message, important);
}

int MessageRelay::deliverToUser(std::string_view recipient, std::string_view sender,
                                std::string_view message, std::int32_t important) {
    if (recipient.empty()) return 0;
    if (isReservedUserName(recipient)) {
        showReceivedMessage(sender, message, important);
        return 1;
    }
    if (equalsIgnoringCase(recipient, sender)) return 0;  // nobody receives his own message
    const ConnectionId id = sessions_.findByUserName(recipient);
    if (id.slot < 0) return 0;
    slots_.send(id, messagePush(sender, message, important).bytes());
    return 1;
}

void MessageRelay::showReceivedMessage(std::string_view sender, std::string_view message,
                                       std::int32_t important) {
    const std::string line = text::format(text::ReceivedMessage, sender, message);
    console_.function(line, tag::ReplyMessage);
    ui_.notifyAdministrator(line);
    if (important == 1) ui_.alert();
}

}  // namespace zelt::server
