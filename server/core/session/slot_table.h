#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/limits.h"
#include "common/platform/reactor.h"
#include "common/platform/tcp.h"
#include "common/protocol/connection.h"

namespace zelt::server {

// Which connection a piece of work is for: its slot and the generation the slot had when the
// connection took it. A slot freed and taken again gets a new generation, so a reply or a push
// that outlives its connection can never reach the one that took the slot next.
struct ConnectionId {
    int slot = -1;
    std::uint64_t generation = 0;

    bool operator==(const ConnectionId&) const = default;
};

// The server's record of one client connection.
struct ConnectionSlot {
    std::unique_ptr<proto::Connection> connection;  // none when the slot is free
    // Counts the connections the slot has held; 0 while it has held none.
    std::uint64_t generation = 0;
    // The account logged in on this connection, as an index into the account table; -1 before
    // log-in.
    int account = -1;
    // 0: no packet since the slot was taken; 1: a packet since the last idle check; 2: one idle
    // check passed without a packet.
    int activity = 0;
    // The peer's IPv4 address in host order (0 for a socket that did not come from accept()),
    // and when the connection took the slot.
    std::uint32_t peerAddress = 0;
    Millis connectedAt = 0;
    // The client's IPv4 address as text, "" when it has none.
    std::string address;
    // What the client said in ReqPipeline it does with requests in flight; 0 for a client that
    // waits for every answer.
    std::int32_t pipelineFeatures = 0;

    // Answers that wait behind one not given yet, oldest first (see SlotTable::answer), and
    // their bytes.
    struct HeldAnswer {
        std::uint64_t number = 0;
        bool ready = false;
        std::vector<std::uint8_t> bytes;  // empty: the request gets no answer after all
    };
    std::deque<HeldAnswer> heldAnswers;
    std::size_t heldAnswerBytes = 0;
    std::uint64_t answersReserved = 0;

    bool open() const { return connection != nullptr && connection->isOpen(); }
    bool loggedIn() const { return open() && account >= 0; }
    // Connected and not logged in (yet).
    bool waiting() const { return open() && account < 0; }
};

// The fixed table of connection slots and the listening socket. It knows sockets and slots;
// what a packet means is the owner's business, reached through the callbacks.
//
// Every connection's queue of unsent packets is bounded: over SendBound the connection is not
// read from (its own requests wait) until the queue drains; one that stays over it for
// SendGrace, or whose queue would pass SendCeiling (pushes from others keep coming), is closed,
// since the server would otherwise hold whatever it is sent for a peer that never reads.
class SlotTable {
public:
    static constexpr std::size_t SendBound = proto::Connection::DefaultSendBound;
    static constexpr std::size_t SendCeiling = 2 * SendBound;
    static constexpr Millis SendGrace = 30000;
    // After accept() fails (descriptors run out) the listening socket rests this long instead
    // of waking the loop again at once.
    static constexpr Millis AcceptPause = 1000;
    // Connections taken per wake of the listening socket, so that a crowd arriving at once
    // does not keep the connections already in from being served.
    static constexpr int AcceptsPerWake = 64;

    using PacketHandler = std::function<void(ConnectionId id, std::span<const std::uint8_t>)>;
    // A slot with a logged-in account is about to be freed; the owner clears the account's
    // connected flag.
    using ReleaseHandler = std::function<void(const ConnectionSlot& slot)>;

    SlotTable(Reactor& reactor, std::size_t capacity = MaxConnections);
    ~SlotTable();
    SlotTable(const SlotTable&) = delete;
    SlotTable& operator=(const SlotTable&) = delete;

    // Set once by the owner, before the first connection arrives.
    PacketHandler onPacket;
    ReleaseHandler onRelease;
    // Decides about each accepted connection: adopts it or closes it. Without one, a
    // connection takes the first free slot or is closed when there is none.
    std::function<void(Handle connected, std::uint32_t peerAddress)> onArrival;
    // accept() failed with an error number; the listening socket rests for AcceptPause.
    std::function<void(int error)> onAcceptFailed;
    // A connection is about to be closed for leaving what it was sent unread.
    std::function<void(const ConnectionSlot& slot)> onStuck;

    // Opens the listening socket. On failure returns the step that failed.
    tcp::ListenResult listen(std::uint16_t port);
    bool listening() const { return listener_ != kNoHandle; }
    std::uint16_t boundPort() const { return boundPort_; }
    void closeListener();

    std::size_t capacity() const { return slots_.size(); }
    // How many slots may hold a connection at once: the capacity, or fewer when the process
    // may not open that many sockets.
    std::size_t usable() const { return usable_; }
    void limitTo(std::size_t usable);
    ConnectionSlot& operator[](std::size_t i) { return slots_[i]; }
    const ConnectionSlot& operator[](std::size_t i) const { return slots_[i]; }
    // The connection a slot holds now; a free slot's id names no connection.
    ConnectionId idOf(std::size_t slot) const;
    // The slot of a connection while that connection holds it, else nullptr.
    ConnectionSlot* find(ConnectionId id);
    const ConnectionSlot* find(ConnectionId id) const;

    int findFree() const;
    int openCount() const;
    // Takes a connected socket into the first free usable slot; returns its id, or an id of
    // slot -1 (the socket is then closed) when there is none.
    ConnectionId adopt(Handle connected, std::uint32_t peerAddress = 0);

    // Queues a packet on a connection; nothing happens once it is gone. A queue that would
    // pass SendCeiling closes the connection instead. For pushes, which answer no request:
    // they go at once.
    void send(ConnectionId id, std::span<const std::uint8_t> packet);
    // The connection's requests wait until the reactor's clock reaches until.
    void holdReading(ConnectionId id, Millis until);
    // The connection's requests wait while its last one is being worked on; nothing happens
    // once it is gone.
    void pauseReading(ConnectionId id, bool paused);

    // A client may send its next requests before the answer to the first arrives, and pairs
    // each answer with its request by their order. So the answers of one connection go out in
    // the order of its requests: an answer that cannot be given at once (one waiting for the
    // disk) takes its place in the line with reserveAnswer(), and the answers given after it
    // wait until fillAnswer() gives it. Only that connection's answers wait.
    struct AnswerPlace {
        ConnectionId id;
        std::uint64_t number = 0;
    };
    // Sends an answer now, or behind the places its connection still holds; answers held past
    // SendCeiling close the connection, as a queue that long does.
    void answer(ConnectionId id, std::span<const std::uint8_t> packet);
    AnswerPlace reserveAnswer(ConnectionId id);
    // Gives the answer of a place (empty: none after all) and sends what no longer waits.
    // Nothing happens once the connection is gone.
    void fillAnswer(const AnswerPlace& place, std::span<const std::uint8_t> packet);
    // Closes a connection and clears its slot; nothing happens once it is gone.
    void free(ConnectionId id);
    // Frees whatever connection a slot holds; a negative or free slot does nothing.
    void freeSlot(int slot);
    // Frees every open slot.
    void freeAll();

private:
    void accept();
    void sendReadyAnswers(ConnectionId id);
    void onPressure(ConnectionId id, bool over);
    // Closes a connection that leaves what it is sent unread, telling onStuck first.
    void dropStuck(ConnectionId id);

    Reactor& reactor_;
    std::vector<ConnectionSlot> slots_;
    std::size_t usable_;
    std::uint64_t generations_ = 0;
    Handle listener_ = kNoHandle;
    std::uint16_t boundPort_ = 0;
    // Connections freed while one of them may still be on the call stack (a handler that
    // refuses a log-in frees its own slot); destroyed at the end of the turn.
    std::vector<std::unique_ptr<proto::Connection>> retired_;
};

}  // namespace zelt::server
