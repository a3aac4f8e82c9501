#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "common/limits.h"
#include "common/platform/reactor.h"
#include "common/platform/tcp.h"
#include "common/protocol/connection.h"

namespace zelt::server {

// The server's record of one client connection.
struct ConnectionSlot {
    std::unique_ptr<proto::Connection> connection;  // none when the slot is free
    // The account logged in on this connection, as an index into the account table; -1 before
    // log-in.
    int account = -1;
    // 0: no packet since the slot was taken; 1: a packet since the last idle check; 2: one idle
    // check passed without a packet.
    int activity = 0;
    // Idle checks passed while nobody logged in on this connection.
    int checksWithoutLogIn = 0;

    bool open() const { return connection != nullptr && connection->isOpen(); }
    bool loggedIn() const { return open() && account >= 0; }
};

// The fixed table of connection slots and the listening socket. It knows sockets and slots;
// what a packet means is the owner's business, reached through the two callbacks.
class SlotTable {
public:
    using PacketHandler = std::function<void(int slot, std::span<const std::uint8_t> packet)>;
    // A slot is about to be freed; the owner clears the account's connected flag.
    using ReleaseHandler = std::function<void(int slot)>;

    SlotTable(Reactor& reactor, PacketHandler onPacket, ReleaseHandler onRelease,
              std::size_t capacity = MaxConnections);
    ~SlotTable();

    // Opens the listening socket. On failure returns the step that failed.
    tcp::ListenResult listen(std::uint16_t port);
    bool listening() const { return listener_ != kNoHandle; }
    std::uint16_t boundPort() const { return boundPort_; }
    void closeListener();
    // Called when a connection arrives and no slot is free (after it was accepted and closed),
    // or when accept() fails with an error number.
    std::function<void()> onFull;
    std::function<void(int error)> onAcceptFailed;

    std::size_t capacity() const { return slots_.size(); }
    ConnectionSlot& operator[](std::size_t i) { return slots_[i]; }
    const ConnectionSlot& operator[](std::size_t i) const { return slots_[i]; }

    int findFree() const;
    int openCount() const;
    // Takes a connected socket into the first free slot; returns the slot, or -1 (the socket is
    // then closed) when the table is full.
    int adopt(Handle connected);

    // Queues a packet on a slot's connection; nothing happens on a free slot.
    void send(int slot, std::span<const std::uint8_t> packet);
    // Closes a slot's connection and clears the slot; a negative or free slot does nothing.
    void free(int slot);
    // Frees every open slot.
    void freeAll();

private:
    void accept();

    Reactor& reactor_;
    PacketHandler onPacket_;
    ReleaseHandler onRelease_;
    std::vector<ConnectionSlot> slots_;
    Handle listener_ = kNoHandle;
    std::uint16_t boundPort_ = 0;
    // Connections freed while one of them may still be on the call stack (a handler that
    // refuses a log-in frees its own slot); destroyed at the next turn of the loop.
    std::vector<std::unique_ptr<proto::Connection>> retired_;
};

}  // namespace zelt::server
