#include "server/core/session/sessions.h"

#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "server/core/store/names.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

Sessions::Sessions(Reactor& reactor, Console& console, Store& store, SlotTable& slots)
    : reactor_(reactor), console_(console), store_(store), slots_(slots) {}

Sessions::~Sessions() {
    stopIdleCheck();
}

void Sessions::startIdleCheck() {
    reactor_.startTimer(this, IdleTimer, IdlePeriod, TimerMode::Periodic, [this] { idleCheck(); });
}

void Sessions::stopIdleCheck() {
    reactor_.killTimer(this, IdleTimer);
}

void Sessions::idleCheck() {
    for (std::size_t i = 0; i < slots_.capacity(); ++i) {
        ConnectionSlot& s = slots_[i];
        // Connections that have not logged in have a deadline of their own (Admission).
        if (!s.loggedIn()) continue;
        // Its requests wait for work of its own (a long copy): the peer is there.
        if (s.connection->readingPaused()) continue;
        if (s.activity == 1) {
            s.activity = 2;
        } else if (s.activity == 2) {
            const int account = s.account;
            store_.accounts()
                .record(static_cast<std::size_t>(account))
                .set(AccountRecord::connected, 0);
            disconnectAccount(account, false);
        }
    }
}

void Sessions::reportNotReading(const ConnectionSlot& slot) {
    if (slot.loggedIn()) {
        const std::string name = store_.accounts()
                                     .record(static_cast<std::size_t>(slot.account))
                                     .get(AccountRecord::userName);
        console_.plain(text::format(text::UserNotReading, name));
    } else {
        console_.plain(text::format(text::ConnectionNotReading, slot.address));
    }
}

int Sessions::accountOf(ConnectionId id) const {
    const ConnectionSlot* s = slots_.find(id);
    return s != nullptr && s->loggedIn() ? s->account : -1;
}

std::string Sessions::userNameOf(ConnectionId id) const {
    const int account = accountOf(id);
    if (account < 0) return "";
    return store_.accounts().record(static_cast<std::size_t>(account)).get(AccountRecord::userName);
}

bool Sessions::pipelines(ConnectionId id, std::int32_t feature) const {
    const ConnectionSlot* s = slots_.find(id);
    return s != nullptr && (s->pipelineFeatures & feature) != 0;
}

void Sessions::bind(ConnectionId id, int account) {
    ConnectionSlot* s = slots_.find(id);
    if (s == nullptr) return;
    store_.accounts().record(static_cast<std::size_t>(account)).set(AccountRecord::connected, 1);
    s->account = account;
    s->activity = 1;
}

void Sessions::release(const ConnectionSlot& slot) {
    if (slot.account < 0 || !store_.loaded()) return;
    store_.accounts()
        .record(static_cast<std::size_t>(slot.account))
        .set(AccountRecord::connected, 0);
}

int Sessions::disconnectAccount(int account, bool withLines) {
    if (account < 0) return 0;
    const std::string name =
        store_.accounts().record(static_cast<std::size_t>(account)).get(AccountRecord::userName);
    int closed = 0;
    for (std::size_t i = 0; i < slots_.capacity(); ++i) {
        if (slots_[i].connection && slots_[i].account == account) {
            slots_.free(slots_.idOf(i));
            if (withLines) console_.plain(text::format(text::UserDisconnected, name));
            ++closed;
        }
    }
    return closed;
}

void Sessions::forEachConnected(const std::function<void(ConnectionId, int account)>& f) const {
    for (std::size_t i = 0; i < slots_.capacity(); ++i) {
        const ConnectionSlot& s = slots_[i];
        if (!s.loggedIn()) continue;
        // Its requests wait for work of its own (a long copy): the peer is there.
        if (s.connection->readingPaused()) continue;
        const auto r = store_.accounts().record(static_cast<std::size_t>(s.account));
        if (r.get(AccountRecord::connected) == 1) f(slots_.idOf(i), s.account);
    }
}

ConnectionId Sessions::findByUserName(std::string_view userName) const {
    const std::string_view wanted = proto::capped(userName, MaxUserNameLength);
    ConnectionId found;
    if (wanted.empty()) return found;
    forEachConnected([&](ConnectionId id, int account) {
        if (found.slot >= 0) return;
        const auto r = store_.accounts().record(static_cast<std::size_t>(account));
        if (equalsIgnoringCase(r.get(AccountRecord::userName), wanted)) found = id;
    });
    return found;
}

void Sessions::broadcast(std::string_view text) {
    proto::Packet push(proto::Opcode::PushBroadcast);
    push.set(proto::PushBroadcast::text, text);
    forEachConnected([&](ConnectionId id, int) { slots_.send(id, push.bytes()); });
}

}  // namespace zelt::server
