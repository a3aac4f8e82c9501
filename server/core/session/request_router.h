#pragma once

#include <span>

#include "common/protocol/packet.h"
#include "server/core/relay/login_notice.h"
#include "server/core/relay/message_relay.h"
#include "server/core/repository/repository.h"
#include "server/core/session/session_requests.h"
#include "server/core/session/slot_table.h"

namespace zelt::server {

// Where each request goes. A packet is judged first (marker, catalogue, length, log-in), counted
// as activity when well marked, copied into a zero-extended packet of its layout's length, and
// then handed to the unit that owns its opcode: one member per request of the catalogue.
class RequestRouter {
public:
    struct Units {
        SessionRequests& session;
        LoginNotice& notice;
        MessageRelay& messages;
        Repository& repository;
    };

    RequestRouter(SlotTable& slots, const Units& units) : slots_(slots), units_(units) {}

    // One packet received on a connection.
    void onPacket(ConnectionId id, std::span<const std::uint8_t> bytes);

    void onReqLogin(ConnectionId id, const proto::Packet& p) { units_.session.onReqLogin(id, p); }
    void onReqChangePassword(ConnectionId id, const proto::Packet& p) {
        units_.session.onReqChangePassword(id, p);
    }
    void onReqGroupList(ConnectionId id, const proto::Packet&) {
        units_.session.onReqGroupList(id);
    }
    void onReqFileList(ConnectionId id, const proto::Packet& p) {
        units_.session.onReqFileList(id, p);
    }
    void onReqFileProperties(ConnectionId id, const proto::Packet& p) {
        units_.repository.checkOuts().onReqFileProperties(id, p);
    }
    void onReqViewOpen(ConnectionId id, const proto::Packet& p) {
        units_.repository.transfers().onReqViewOpen(id, p);
    }
    void onReqViewChunk(ConnectionId id, const proto::Packet& p) {
        units_.repository.transfers().onReqViewChunk(id, p);
    }
    void onReqViewClose(ConnectionId id, const proto::Packet& p) {
        units_.repository.transfers().onReqViewClose(id, p);
    }
    void onReqCheckOut(ConnectionId id, const proto::Packet& p) {
        units_.repository.checkOuts().onReqCheckOut(id, p);
    }
    void onReqVoidCheckOut(ConnectionId id, const proto::Packet& p) {
        units_.repository.checkOuts().onReqVoidCheckOut(id, p);
    }
    void onReqFetchOpen(ConnectionId id, const proto::Packet& p) {
        units_.repository.transfers().onReqFetchOpen(id, p);
    }
    void onReqFetchChunk(ConnectionId id, const proto::Packet& p) {
        units_.repository.transfers().onReqFetchChunk(id, p);
    }
    void onReqFetchClose(ConnectionId id, const proto::Packet& p) {
        units_.repository.transfers().onReqFetchClose(id, p);
    }
    void onReqCheckInChunk(ConnectionId id, const proto::Packet& p) {
        units_.repository.checkIns().onReqCheckInChunk(id, p);
    }
    void onReqCheckInAbort(ConnectionId id, const proto::Packet& p) {
        units_.repository.checkIns().onReqCheckInAbort(id, p);
    }
    void onReqCheckIn(ConnectionId id, const proto::Packet& p) {
        units_.repository.checkIns().onReqCheckIn(id, p);
    }
    void onReqNotice(ConnectionId id, const proto::Packet&) { units_.notice.onReqNotice(id); }
    void onReqSendMessage(ConnectionId id, const proto::Packet& p) {
        units_.messages.onReqSendMessage(id, p);
    }
    void onReqKeepAlive(ConnectionId id, const proto::Packet&) {
        units_.session.onReqKeepAlive(id);
    }
    void onReqPipeline(ConnectionId id, const proto::Packet& p) {
        units_.session.onReqPipeline(id, p);
    }

private:
    SlotTable& slots_;
    Units units_;
};

}  // namespace zelt::server
