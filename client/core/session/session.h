#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>

#include "client/core/session/request_queue.h"
#include "client/core/session/server_link.h"
#include "client/core/state/local_state.h"
#include "client/core/ui/client_ui.h"
#include "common/console/console.h"
#include "common/platform/reactor.h"
#include "common/protocol/connection.h"
#include "common/protocol/opcodes.h"

namespace zelt::client {

// What the session tells the rest of the client.
struct SessionHooks {
    // Every answer and push worth handling, once its length has been judged.
    std::function<void(proto::Opcode, const proto::Packet&)> answer;
    // The connection state changed; the tool windows' buttons follow it.
    std::function<void()> stateChanged;
    // The connection ended; whatever ran over it ends too. Called before the state changes.
    std::function<void()> connectionLost;
    // The server accepted the log-in.
    std::function<void()> loggedIn;
};

// The client's one connection: the Log-in dialog and the connect, the log-in exchange, the
// notice and keep-alive timers that follow it, the server's broadcasts, and the three ways a
// connection ends (the server closes it, the server stops answering, the user disconnects).
class Session final : public ServerLink {
public:
    // Timer ids are the program's; timerOwner keeps them apart from another program's on the
    // same reactor.
    static constexpr int kNoticeTimer = 4;
    static constexpr int kKeepAliveTimer = 6;
    static constexpr Millis kNoticeDelay = 2000;
    static constexpr Millis kKeepAlivePeriod = 20000;

    Session(Reactor& reactor, const void* timerOwner, Console& console, ClientUi& ui,
            LocalState& local, SessionHooks hooks);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    ConnectionState connectionState() const override { return state_; }
    // Requests wait their turn in the queue: one answered request on its way at a time.
    bool send(const proto::Packet& packet) override;
    bool requireConnected() override;

    int keepAliveState() const { return keepAlive_; }
    // The connection to the server while there is one.
    proto::Connection* connection() { return connection_.get(); }
    // Bytes queued for the server and not yet handed to the network: a front end that ends
    // the connection itself waits for none, so that nothing it sent last is lost.
    std::size_t unsentBytes() const { return connection_ ? connection_->unsentBytes() : 0; }
    // Why the last attempt failed, shown in the next Log-in dialog.
    const std::string& lastError() const { return lastError_; }

    // The Connect and Disconnect commands, and the "Disconnect now." line.
    void connect();
    void disconnect();
    void disconnectNow();
    // Ends the connection without a word (closing the client, the end of the desktop session).
    void drop();

    void onLogin(const proto::Packet& p);
    void onKeepAlive() { keepAlive_ = 1; }
    // Returns the broadcast as shown; empty when there was none to show.
    std::string onBroadcast(const proto::Packet& p);

private:
    void connectProcedure();
    void onConnectEvent();
    void onConnected(Handle handle);
    void onPacket(std::span<const std::uint8_t> bytes);
    void onClosedByServer();
    void setState(ConnectionState state);
    void disconnectAndOfferClose();
    void onNoticeTimer();
    void onKeepAliveTick();
    void alert();

    Reactor& reactor_;
    const void* timerOwner_;
    Console& console_;
    ClientUi& ui_;
    LocalState& local_;
    SessionHooks hooks_;

    ConnectionState state_ = ConnectionState::NotConnected;
    int keepAlive_ = 1;
    std::string lastError_;
    Handle connecting_ = kNoHandle;
    std::unique_ptr<proto::Connection> connection_;
    // A connection closed from inside one of its own handlers lives on until the next one
    // is dropped, so the handler can return through it.
    std::unique_ptr<proto::Connection> retired_;
    RequestQueue requests_;
};

}  // namespace zelt::client
