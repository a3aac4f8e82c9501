#include "client/core/session/password_change.h"

#include "client/core/ui/texts.h"
#include "common/protocol/layouts.h"
#include "common/scramble/scramble.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;

void PasswordChange::run() {
    if (!link_.connected()) {
        console_.plain(text::NotConnected);
        return;
    }
    PasswordForm form;
    if (!ui_.runAccountProperties(form, validatePasswordForm)) return;
    Packet p(Opcode::ReqChangePassword);
    p.set(proto::ReqChangePassword::current,
          scramble::scramble(form.current.substr(0, kMaxPassword)));
    p.set(proto::ReqChangePassword::replacement,
          scramble::scramble(form.replacement.substr(0, kMaxPassword)));
    link_.send(p);
}

void PasswordChange::onAnswer(const Packet& p) {
    FlowItem item(Flow::PasswordChange);
    if (p.get(proto::RepChangePassword::result) != 0) {
        item.line = text::PasswordChanged;
        console_.important(item.line);
    } else {
        item.outcome = Outcome::Refused;
        item.serverText = p.get(proto::RepChangePassword::reason);
        item.line = std::string(text::PasswordNotChanged) + " " + item.serverText;
        console_.error(item.line);
    }
    events_.settled(item);
    events_.ended(Flow::PasswordChange);
}

}  // namespace zelt::client
