#include "client/core/session/session.h"

#include <algorithm>
#include <cerrno>

#include "client/core/session/status_display.h"
#include "client/core/ui/forms.h"
#include "client/core/ui/texts.h"
#include "common/platform/tcp.h"
#include "common/protocol/dispatch.h"
#include "common/protocol/layouts.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;

namespace {

// Errors that mean no socket could be made at all, as opposed to a connect that failed.
bool isSocketCreationError(int error) {
    return error == EMFILE || error == ENFILE || error == EAFNOSUPPORT ||
           error == EPROTONOSUPPORT || error == ENOBUFS || error == ENOMEM;
}

// A broadcast's text fills its field with no terminator of its own; the byte after it is 0.
constexpr std::size_t kMaxBroadcast = proto::PushBroadcast::text.width - 1;

}  // namespace

Session::Session(Reactor& reactor, const void* timerOwner, Console& console, ClientUi& ui,
                 LocalState& local, SessionHooks hooks)
    : reactor_(reactor),
      timerOwner_(timerOwner),
      console_(console),
      ui_(ui),
      local_(local),
      hooks_(std::move(hooks)),
      requests_(reactor, timerOwner, [this](std::span<const std::uint8_t> bytes) {
          if (connection_ && connection_->isOpen()) connection_->send(bytes);
      }) {}

Session::~Session() {
    reactor_.killTimer(timerOwner_, kNoticeTimer);
    reactor_.killTimer(timerOwner_, kKeepAliveTimer);
    if (connecting_ != kNoHandle) {
        reactor_.unwatch(connecting_);
        tcp::closeSocket(connecting_);
    }
}

bool Session::send(const Packet& packet) {
    if (!connection_ || !connection_->isOpen()) return false;
    requests_.send(packet);
    return true;
}

bool Session::requireConnected() {
    if (state_ == ConnectionState::Connected) return true;
    console_.error(text::NotConnected);
    return false;
}

void Session::setState(ConnectionState state) {
    if (state_ == state) return;
    state_ = state;
    ui_.connectionStateChanged(state_);
    hooks_.stateChanged();
}

void Session::alert() {
    ui_.alert(local_.notifyFile());
}

// --- commands ---

void Session::connect() {
    lastError_.clear();
    if (state_ == ConnectionState::Connected) {
        console_.plain(text::AlreadyConnected);
    } else if (state_ == ConnectionState::Connecting) {
        console_.plain(text::ConnectingInProcess);
    } else {
        connectProcedure();
    }
}

void Session::disconnect() {
    switch (state_) {
        case ConnectionState::NotConnected:
            console_.plain(text::NotConnected);
            return;
        case ConnectionState::Connecting:
            console_.plain(text::ConnectingCancelled);
            drop();
            return;
        case ConnectionState::Connected:
            break;
    }
    if (local_.table().checkedOutCount() == 0) {
        disconnectAndOfferClose();
        return;
    }
    alert();
    console_.important(text::NotSafeToDisconnect);
    printCheckOutLine(console_, local_.table());
    console_.function(text::DisconnectNow, tag::LogoutNow);
}

// The "Disconnect now." line: no safety check, but an old line executed later must not claim
// a disconnect that did not happen.
void Session::disconnectNow() {
    if (state_ == ConnectionState::Connected) {
        disconnectAndOfferClose();
    } else {
        disconnect();
    }
}

void Session::disconnectAndOfferClose() {
    drop();
    console_.important(text::Disconnected);
    alert();
    console_.function(text::CloseClient, tag::CloseClient);
}

// --- connecting ---

void Session::connectProcedure() {
    for (;;) {
        LoginForm form = loginFormFrom(local_.comm(), lastError_);
        if (!ui_.runLogin(form, validateLoginForm)) return;
        // The dialog runs the reactor; something may have connected meanwhile.
        if (state_ != ConnectionState::NotConnected) return;
        storeLoginForm(form, &local_.comm());

        const std::array<std::uint8_t, 4> octets = local_.comm().octets();
        const std::uint32_t address = (std::uint32_t{octets[0]} << 24) |
                                      (std::uint32_t{octets[1]} << 16) |
                                      (std::uint32_t{octets[2]} << 8) | octets[3];
        // Only the low 16 bits of a five-digit port reach the connect.
        const auto port = static_cast<std::uint16_t>(local_.comm().port());
        int error = 0;
        const Handle handle = tcp::startConnect(address, port, &error);
        if (handle == kNoHandle && isSocketCreationError(error)) {
            console_.error(text::SocketFailed);
            return;
        }
        setState(ConnectionState::Connecting);
        console_.plain(text::Connecting);
        if (handle != kNoHandle) {
            connecting_ = handle;
            reactor_.watch(handle, kWritable, [this](unsigned) { onConnectEvent(); });
            return;
        }
        console_.error(text::ConnectFailed);
        lastError_ = text::ConnectFailed;
        setState(ConnectionState::NotConnected);
    }
}

void Session::onConnectEvent() {
    const Handle handle = connecting_;
    if (handle == kNoHandle) return;
    reactor_.unwatch(handle);
    connecting_ = kNoHandle;
    const int error = tcp::connectError(handle);
    if (error == 0) {
        onConnected(handle);
        return;
    }
    // Every failed connect goes back to the dialog: a socket left in its failed state would
    // only keep the client "connecting" until the user gave up.
    tcp::closeSocket(handle);
    setState(ConnectionState::NotConnected);
    console_.error(text::ConnectFailed);
    lastError_ = text::ConnectFailed;
    connectProcedure();
}

void Session::onConnected(Handle handle) {
    setState(ConnectionState::Connected);
    console_.important(text::Connected);
    local_.saveComm();
    retired_.reset();
    connection_ = std::make_unique<proto::Connection>(
        reactor_, handle, proto::Receiver::Client,
        [this](std::span<const std::uint8_t> bytes) { onPacket(bytes); },
        [this](int) { onClosedByServer(); });
    Packet login(Opcode::ReqLogin);
    login.set(proto::ReqLogin::userName, local_.comm().userName());
    login.set(proto::ReqLogin::password, local_.comm().password());
    send(login);
}

void Session::drop() {
    if (connecting_ != kNoHandle) {
        reactor_.unwatch(connecting_);
        tcp::closeSocket(connecting_);
        connecting_ = kNoHandle;
    }
    if (connection_) {
        connection_->close();
        retired_ = std::move(connection_);
    }
    reactor_.killTimer(timerOwner_, kNoticeTimer);
    reactor_.killTimer(timerOwner_, kKeepAliveTimer);
    requests_.clear();
    pipelined_ = false;
    hooks_.connectionLost();
    setState(ConnectionState::NotConnected);
}

void Session::onClosedByServer() {
    drop();
    console_.important(text::Disconnected);
    alert();
}

void Session::onPacket(std::span<const std::uint8_t> bytes) {
    const proto::Judgement judgement = proto::judgeAtClient(bytes);
    if (judgement.alive) keepAlive_ = 1;
    if (judgement.handler == nullptr) return;
    // A copy: the handler may close the connection whose buffer holds the bytes.
    const Packet p = Packet::received(bytes, judgement.handler->acceptedUpTo);
    // The next request goes before the answer is handled: a handler may open a dialog, and
    // the requests waiting behind (a keep-alive among them) must not wait for the user.
    requests_.received(judgement.handler->opcode);
    hooks_.answer(judgement.handler->opcode, p);
}

// --- log-in and after ---

void Session::onLogin(const Packet& p) {
    if (p.get(proto::RepLogin::result) == 0) {
        const std::string line =
            std::string(text::AccessDenied) + " " + p.get(proto::RepLogin::reason);
        console_.error(line);
        drop();
        lastError_ = line;
        connectProcedure();
        return;
    }
    console_.important(quotedLine(text::LoggedInAs, local_.comm().userName()));
    // Only a server that wrote its mark ever hears that this client keeps requests in flight.
    const auto mark = p.get(proto::RepLogin::mark);
    if (p.get(proto::RepLogin::reason).empty() &&
        std::equal(mark.begin(), mark.end(), proto::kServerMark.begin(),
                   proto::kServerMark.end())) {
        pipelined_ = true;
        requests_.sendAtOnce();
        if (connection_) connection_->setBatching(true);
        Packet features(Opcode::ReqPipeline);
        features.set(proto::ReqPipeline::features, proto::kPipelineUploads);
        send(features);
    }
    local_.saveComm();
    if (local_.places().workingCreated) ui_.showLegends();
    reactor_.startTimer(timerOwner_, kNoticeTimer, kNoticeDelay, TimerMode::OneShot,
                        [this] { onNoticeTimer(); });
    reactor_.startTimer(timerOwner_, kKeepAliveTimer, kKeepAlivePeriod, TimerMode::Periodic,
                        [this] { onKeepAliveTick(); });
    keepAlive_ = 1;
    hooks_.loggedIn();
}

void Session::onNoticeTimer() {
    reactor_.killTimer(timerOwner_, kNoticeTimer);
    send(Packet(Opcode::ReqNotice));
}

void Session::onKeepAliveTick() {
    if (state_ != ConnectionState::Connected) return;
    switch (keepAlive_) {
        case 1:
            keepAlive_ = 2;
            break;
        case 2:
            send(Packet(Opcode::ReqKeepAlive));
            keepAlive_ = 3;
            break;
        default:
            drop();
            console_.error(text::ServerNotResponding);
            console_.important(text::Disconnected);
            alert();
            break;
    }
}

std::string Session::onBroadcast(const Packet& p) {
    const std::string line = p.get(proto::PushBroadcast::text).substr(0, kMaxBroadcast);
    if (line.empty()) return line;
    console_.important(line);
    alert();
    ui_.notify(line);
    return line;
}

}  // namespace zelt::client
