// Relaying messages between users and the administrator.
#include <algorithm>
#include <cstdio>

#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "server/core/names.h"
#include "server/core/server.h"

namespace zelt::server {

using proto::Opcode;
using proto::Packet;

namespace {

constexpr std::string_view kEveryone = "@<all>";
constexpr std::size_t kMaxTokenLength = 30;

}  // namespace

void Server::handleSendMessage(int slot, std::span<const std::uint8_t> bytes) {
    const Packet request = Packet::received(bytes, proto::findOpcode(37)->sent);
    // The sender is whoever is logged in on this connection, never the name the packet
    // carries: nobody can pose as the administrator or as another user.
    const std::string sender = userNameOf(slot);
    relay(sender, slot, request.get(proto::ReqSendMessage::recipients),
          request.get(proto::ReqSendMessage::text),
          request.get(proto::ReqSendMessage::important));
}

void Server::sendAdminMessage(std::string_view recipients, std::string_view text,
                              bool important) {
    relay(ReservedUserName, -1, std::string(proto::capped(recipients, 512)),
          proto::capped(text, 1024), important ? 1 : 0);
}

int Server::relay(std::string_view sender, int senderSlot, std::string recipients,
                  std::string_view text, std::int32_t important) {
    recipients = lowerAscii(recipients);
    int count = 0;
    if (recipients.find(kEveryone) != std::string::npos) {
        count = deliver(kEveryone, sender, text, important);
    } else {
        // Each token is served once, however often the list names it.
        std::vector<std::string> served;
        std::size_t at = 0;
        while (at <= recipients.size()) {
            const std::size_t end = std::min(recipients.find(';', at), recipients.size());
            if (end - at > kMaxTokenLength) break;  // a token this long ends the list
            const std::string token = recipients.substr(at, end - at);
            if (std::find(served.begin(), served.end(), token) == served.end()) {
                served.push_back(token);
                count += deliver(token, sender, text, important);
            }
            if (end == recipients.size()) break;
            at = end + 1;
        }
    }
    if (isReservedUserName(sender)) {
        char line[64];
        std::snprintf(line, sizeof line, "%s %d user(s).", "Message sent to", count);
        console_.plain(line);
    } else {
        Packet reply(Opcode::RepSendMessage);
        reply.set(proto::RepSendMessage::count, count);
        slots_.send(senderSlot, reply.bytes());
    }
    return count;
}

int Server::deliver(std::string_view token, std::string_view sender, std::string_view text,
                    std::int32_t important) {
    if (token.empty()) return 0;
    if (token.find(kEveryone) != std::string_view::npos) {
        Packet push(Opcode::PushMessage);
        push.set(proto::PushMessage::important, important);
        push.set(proto::PushMessage::sender, sender);
        push.set(proto::PushMessage::text, text);
        int sent = 0;
        for (std::size_t i = 0; i < slots_.capacity(); ++i) {
            const ConnectionSlot& s = slots_[i];
            if (!s.loggedIn()) continue;
            const auto r = accounts_->record(static_cast<std::size_t>(s.account));
            if (r.get(AccountRecord::connected) != 1) continue;
            if (equalsIgnoringCase(r.get(AccountRecord::userName), sender)) continue;
            slots_.send(static_cast<int>(i), push.bytes());
            ++sent;
        }
        showReceivedMessage(sender, text, important);
        return sent + 1;
    }
    if (token.front() == '@') {
        const int group = groups_->findByName(token.substr(1));
        if (group < 0) return 0;
        const auto g = groups_->record(static_cast<std::size_t>(group));
        int sent = 0;
        for (std::size_t k = 0; k < GroupRecord::members.count; ++k) {
            const std::string member = g.get(GroupRecord::members.at(k));
            if (!member.empty()) sent += deliverToUser(member, sender, text, important);
        }
        return sent;
    }
    return deliverToUser(token, sender, text, important);
}

int Server::deliverToUser(std::string_view recipient, std::string_view sender,
                          std::string_view text, std::int32_t important) {
    if (recipient.empty()) return 0;
    if (isReservedUserName(recipient)) {
        showReceivedMessage(sender, text, important);
        return 1;
    }
    if (equalsIgnoringCase(recipient, sender)) return 0;  // nobody receives his own message
    const int slot = findSlotByUserName(recipient);
    if (slot < 0) return 0;
    Packet push(Opcode::PushMessage);
    push.set(proto::PushMessage::important, important);
    push.set(proto::PushMessage::sender, sender);
    push.set(proto::PushMessage::text, text);
    slots_.send(slot, push.bytes());
    return 1;
}

void Server::showReceivedMessage(std::string_view sender, std::string_view text,
                                 std::int32_t important) {
    console_.function("<" + std::string(sender) + "> \"" + std::string(text) + "\"", "REPLYMSG");
    if (important == 1) ui_.alert();
}

}  // namespace zelt::server
