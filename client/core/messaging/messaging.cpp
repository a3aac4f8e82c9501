#include "client/core/messaging/messaging.h"

#include "client/core/ui/texts.h"
#include "common/protocol/layouts.h"
#include "common/ui/shared_windows.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;

void Messaging::reply(const std::string& lineText) {
    ui_.openSendMessage(ui::replyName(lineText));
}

void Messaging::send(const ui::MessageForm& form) {
    // A window opened before the connection was lost must not look as if it had sent.
    if (!link_.requireConnected()) return;
    Packet p(Opcode::ReqSendMessage);
    p.set(proto::ReqSendMessage::sender, local_.comm().userName());
    p.set(proto::ReqSendMessage::recipients, form.recipients);
    p.set(proto::ReqSendMessage::text, form.text);
    p.set(proto::ReqSendMessage::important, form.important ? 1 : 0);
    link_.send(p);
}

void Messaging::onMessage(const Packet& p) {
    ServerPush push;
    push.sender = p.get(proto::PushMessage::sender);
    push.text = p.get(proto::PushMessage::text);
    push.important = p.get(proto::PushMessage::important) == 1;
    const std::string line = "<" + push.sender + "> \"" + push.text + "\"";
    console_.function(line, tag::ReplyMessage);
    if (push.important) {
        ui_.alert(local_.notifyFile());
        ui_.notify(line);
    }
    events_.pushed(push);
}

void Messaging::onCount(const Packet& p) {
    FlowItem item(Flow::Message);
    item.count = p.get(proto::RepSendMessage::count);
    item.line = std::string(text::MessageSentTo) + " " + std::to_string(item.count) + " " +
                std::string(text::Users);
    console_.plain(item.line);
    events_.settled(item);
    events_.ended(Flow::Message);
}

}  // namespace zelt::client
