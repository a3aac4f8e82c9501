#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/platform/reactor.h"
#include "common/protocol/connection.h"
#include "common/protocol/packet.h"

namespace zelt::client::test {

using ByteString = std::vector<std::uint8_t>;

// A small server for the client's tests: it listens on a free loopback port of the test's
// reactor, speaks the real packets through a server-side Connection, and answers from the
// plain tables below. A test may take over any packet with intercept.
class ScriptedServer {
public:
    explicit ScriptedServer(Reactor& reactor);
    ~ScriptedServer();

    std::uint16_t port() const { return port_; }
    bool clientConnected() const {
        return raw_ != kNoHandle || (connection_ && connection_->isOpen());
    }

    // Sends one packet, or several packets' bytes in one piece.
    void send(const proto::Packet& packet);
    void sendBytes(const ByteString& bytes);
    void dropClient();

    // Every packet received, in order, and the opcodes alone.
    std::vector<proto::Packet> received;
    std::vector<proto::Opcode> opcodes() const;
    std::vector<proto::Packet> receivedOf(proto::Opcode opcode) const;
    int countOf(proto::Opcode opcode) const;

    // Returns true when it handled the packet itself.
    std::function<bool(const proto::Packet&)> intercept;

    // The server's tables.
    std::string refuseLoginWith;  // non-empty: every log-in is refused with this reason
    bool answerKeepAlive = true;
    std::string notice;
    std::vector<std::string> groups;
    std::map<std::string, std::vector<std::string>> groupFiles;  // group -> paths
    std::map<std::string, std::string> holders;                  // path -> holder
    std::map<std::string, std::string> contents;                 // path -> content
    int damageChunks = 0;  // the next this many download chunks carry a wrong checksum
    std::set<std::int64_t> damageOffsets;  // the chunk at each, once, comes or is taken damaged
    // Plays a server that takes requests in flight: marks its log-in answer and keeps upload
    // chunks at their offsets, however they come.
    bool pipelined = false;
    // Plays a server of the older kind: whatever one read brings is one packet, answered with
    // one write. Reads that held more or less than one whole packet are counted in gluedReads.
    bool wholeReads = false;
    int gluedReads = 0;
    int unknownOpcodes = 0;  // packets such a server would not know, never answered
    int damageUploads = 0;   // the next this many upload chunks are answered as damaged
    std::string userName;    // who logged in
    std::map<std::string, std::string> uploads;  // upload name -> bytes so far
    struct CheckIn {
        std::string path;
        std::string userName;
        std::string comment;
        std::string content;
    };
    std::vector<CheckIn> checkIns;
    std::set<std::string> deletedTemps;  // temp paths released by close requests

private:
    void onAccept();
    void onWholeRead();
    void onPacket(const proto::Packet& p);
    void answer(const proto::Packet& p);
    void answerDownloadOpen(const proto::Packet& p);
    void answerDownloadChunk(const proto::Packet& p);
    void answerUpload(const proto::Packet& p);
    void answerCommit(const proto::Packet& p);

    Reactor& reactor_;
    Handle listener_ = kNoHandle;
    std::uint16_t port_ = 0;
    std::unique_ptr<proto::Connection> connection_;
    std::unique_ptr<proto::Connection> retired_;
    Handle raw_ = kNoHandle;                    // the client's socket when reads are taken whole
    std::map<std::string, std::string> temps_;  // temp path -> content
    int nextTemp_ = 1;
};

}  // namespace zelt::client::test
