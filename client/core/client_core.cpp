#include "client/core/client_core.h"

#include <cerrno>

#include "client/core/texts.h"
#include "common/platform/files.h"
#include "common/platform/shell.h"
#include "common/platform/tcp.h"
#include "common/protocol/dispatch.h"
#include "common/protocol/layouts.h"
#include "common/scramble/scramble.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;

namespace {

// Errors that mean no socket could be made at all, as opposed to a connect that failed.
bool isSocketCreationError(int error) {
    return error == EMFILE || error == ENFILE || error == EAFNOSUPPORT ||
           error == EPROTONOSUPPORT || error == ENOBUFS || error == ENOMEM;
}

// The longest line the console takes from a notice; a longer one continues on the next line.
constexpr std::size_t kMaxNoticeLine = 1024;
constexpr std::size_t kMaxNoticeText = 1536;

}  // namespace

ClientCore::ClientCore(Reactor& reactor, ClientUi& ui, ClientOptions options)
    : reactor_(reactor), ui_(ui), options_(std::move(options)), console_(reactor.clock()) {
    if (!options_.shellOpen) options_.shellOpen = shell::open;
    tags_ = {
        {tag::OpenWeb, [this](const std::string& text) { options_.shellOpen(text); }},
        {tag::OpenMail,
         [this](const std::string& text) {
             options_.shellOpen(ui::mailtoAddress(text, text::VersionText));
         }},
        {tag::ShowCheckOuts, [this](const std::string&) { showWorkingFiles(); }},
        {tag::LogoutNow, [this](const std::string&) { disconnectNow(); }},
        {tag::GroupFiles,
         [this](const std::string& text) {
             if (state_ == ConnectionState::Connected) {
                 requestFileList(text);
             } else {
                 console_.error(text::NotConnected);
             }
         }},
        {tag::CloseClient, [this](const std::string&) { closeClient(); }},
        {tag::ReplyMessage, [this](const std::string& text) { reply(text); }},
    };
}

ClientCore::~ClientCore() {
    reactor_.killTimer(this, kStartUpTimer);
    reactor_.killTimer(this, kNoticeTimer);
    reactor_.killTimer(this, kKeepAliveTimer);
    if (connecting_ != kNoHandle) {
        reactor_.unwatch(connecting_);
        tcp::closeSocket(connecting_);
    }
}

void ClientCore::start() {
    reactor_.startTimer(this, kStartUpTimer, kStartUpDelay, TimerMode::OneShot, [this] {
        reactor_.killTimer(this, kStartUpTimer);
        startUp();
    });
}

void ClientCore::startUp() {
    places_ = preparePlaces(options_.places);
    comm_.load(places_.commFile);
    table_.load(places_.checkOutFile);
    lastError_.clear();
    fetchList_.clear();
    fetchFlag_ = false;
    transfer_ = Transfer{};
    connect();
}

// --- commands ---

bool ClientCore::commandEnabled(ClientCommand command) const {
    switch (command) {
        case ClientCommand::Connect:
            return state_ == ConnectionState::NotConnected;
        case ClientCommand::Disconnect:
            return state_ != ConnectionState::NotConnected;
        case ClientCommand::AccountProperties:
        case ClientCommand::YourGroups:
        case ClientCommand::MessageNew:
            return state_ == ConnectionState::Connected;
        case ClientCommand::Close:
            return state_ == ConnectionState::NotConnected;
        default:
            return true;
    }
}

void ClientCore::runCommand(ClientCommand command) {
    switch (command) {
        case ClientCommand::Connect:
            connect();
            break;
        case ClientCommand::Disconnect:
            disconnect();
            break;
        case ClientCommand::AccountProperties:
            accountProperties();
            break;
        case ClientCommand::Close:
            closeClient();
            break;
        case ClientCommand::Status:
            showStatus();
            break;
        case ClientCommand::YourGroups:
            yourGroups();
            break;
        case ClientCommand::WorkingFiles:
            showWorkingFiles();
            break;
        case ClientCommand::WorkingFolder:
            openFolder(places_.working);
            break;
        case ClientCommand::BackupFolder:
            openFolder(places_.backup);
            break;
        case ClientCommand::MessageNew:
            newMessage();
            break;
        case ClientCommand::Legends:
            ui_.showLegends();
            break;
        case ClientCommand::Manual:
            showManual();
            break;
        case ClientCommand::Execute:
            executeLine(console_.selectedLine());
            break;
    }
}

void ClientCore::connect() {
    lastError_.clear();
    if (state_ == ConnectionState::Connected) {
        console_.plain(text::AlreadyConnected);
    } else if (state_ == ConnectionState::Connecting) {
        console_.plain(text::ConnectingInProcess);
    } else {
        connectProcedure();
    }
}

void ClientCore::disconnect() {
    switch (state_) {
        case ConnectionState::NotConnected:
            console_.plain(text::NotConnected);
            return;
        case ConnectionState::Connecting:
            console_.plain(text::ConnectingCancelled);
            dropConnection();
            return;
        case ConnectionState::Connected:
            break;
    }
    if (table_.checkedOutCount() == 0) {
        disconnectAndOfferClose();
        return;
    }
    alert();
    console_.important(text::NotSafeToDisconnect);
    printCheckOutLine();
    console_.function(text::DisconnectNow, tag::LogoutNow);
}

// The "Disconnect now." line: no safety check, but an old line executed later must not claim
// a disconnect that did not happen.
void ClientCore::disconnectNow() {
    if (state_ == ConnectionState::Connected) {
        disconnectAndOfferClose();
    } else {
        disconnect();
    }
}

void ClientCore::disconnectAndOfferClose() {
    dropConnection();
    console_.important(text::Disconnected);
    alert();
    console_.function(text::CloseClient, tag::CloseClient);
}

void ClientCore::accountProperties() {
    if (state_ != ConnectionState::Connected) {
        console_.plain(text::NotConnected);
        return;
    }
    PasswordForm form;
    if (!ui_.runAccountProperties(form)) return;
    Packet p(Opcode::ReqChangePassword);
    p.set(proto::ReqChangePassword::current, scramble::scramble(form.current.substr(0, 20)));
    p.set(proto::ReqChangePassword::replacement,
          scramble::scramble(form.replacement.substr(0, 20)));
    send(p);
}

void ClientCore::closeClient() {
    dropConnection();
    files::emptyFolder(places_.temp);
    destroyToolWindows();
    ui_.closeMainWindow();
}

bool ClientCore::windowCloseRequested() {
    if (state_ == ConnectionState::Connected) {
        disconnect();
        return false;
    }
    dropConnection();
    files::emptyFolder(places_.temp);
    destroyToolWindows();
    return true;
}

void ClientCore::endSession() {
    dropConnection();
}

void ClientCore::showStatus() {
    console_.clearWhenLong();
    console_.plain(text::StatusHeader);
    switch (state_) {
        case ConnectionState::Connected:
            console_.plain(std::string(text::ConnectedAs) + " " + quoted(comm_.userName()) + ".");
            break;
        case ConnectionState::Connecting:
            console_.plain(text::ConnectingInProcess);
            break;
        case ConnectionState::NotConnected:
            console_.plain(text::NotConnected);
            break;
    }
    printCheckOutLine();
}

void ClientCore::printCheckOutLine() {
    const int count = table_.checkedOutCount();
    if (count == 0) {
        console_.plain(text::NoFileCheckedOut);
        return;
    }
    console_.function(std::string(text::YouCheckedOut) + " " + std::to_string(count) + " " +
                          std::string(text::Files),
                      tag::ShowCheckOuts);
}

void ClientCore::yourGroups() {
    console_.clearWhenLong();
    send(Packet(Opcode::ReqGroupList));
}

void ClientCore::showManual() {
    console_.clearWhenLong();
    console_.plain(text::ManualHeader);
    console_.function(text::ManualAddress, tag::OpenWeb);
}

void ClientCore::openFolder(const std::string& folder) {
    openWithShell(folder);
}

void ClientCore::openWithShell(const std::string& path) {
    const int code = options_.shellOpen(path);
    if (code <= 32) ui_.messageBox(ui::shellOpenFailure(code));
}

void ClientCore::newMessage() {
    ui_.openSendMessage("");
}

bool ClientCore::executeLine(int index) {
    return console_.execute(index, tags_);
}

void ClientCore::reply(const std::string& lineText) {
    ui_.openSendMessage(ui::replyName(lineText));
}

void ClientCore::sendMessage(const MessageForm& form) {
    // A window opened before the connection was lost must not look as if it had sent.
    if (!requireConnected()) return;
    Packet p(Opcode::ReqSendMessage);
    p.set(proto::ReqSendMessage::sender, comm_.userName());
    p.set(proto::ReqSendMessage::recipients, form.recipients);
    p.set(proto::ReqSendMessage::text, form.text);
    p.set(proto::ReqSendMessage::important, form.important ? 1 : 0);
    send(p);
}

void ClientCore::destroyToolWindows() {
    auto destroy = [this](auto& model, auto changed) {
        if (!model.exists) return;
        model = std::remove_reference_t<decltype(model)>{};
        (ui_.*changed)(model);
    };
    destroy(available_, &ClientUi::availableFilesChanged);
    destroy(properties_, &ClientUi::filePropertiesChanged);
    destroy(transferView_, &ClientUi::fileTransferChanged);
    destroy(working_, &ClientUi::workingFilesChanged);
}

// --- connection ---

void ClientCore::setState(ConnectionState state) {
    if (state_ == state) return;
    state_ = state;
    ui_.connectionStateChanged(state_);
    // The windows' buttons follow the connection.
    if (available_.exists) availableFilesUpdated();
    if (working_.exists) workingFilesUpdated();
}

bool ClientCore::requireConnected() {
    if (state_ == ConnectionState::Connected) return true;
    console_.error(text::NotConnected);
    return false;
}

bool ClientCore::send(const Packet& packet) {
    if (!connection_ || !connection_->isOpen()) return false;
    connection_->send(packet.bytes());
    return true;
}

void ClientCore::connectProcedure() {
    for (;;) {
        LoginForm form = loginFormFrom(comm_, lastError_);
        if (!ui_.runLogin(form)) return;
        // The dialog runs the reactor; something may have connected meanwhile.
        if (state_ != ConnectionState::NotConnected) return;
        storeLoginForm(form, &comm_);

        const std::array<std::uint8_t, 4> octets = comm_.octets();
        const std::uint32_t address = (std::uint32_t{octets[0]} << 24) |
                                      (std::uint32_t{octets[1]} << 16) |
                                      (std::uint32_t{octets[2]} << 8) | octets[3];
        const auto port = static_cast<std::uint16_t>(comm_.port() & 0xFFFF);
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

void ClientCore::onConnectEvent() {
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

void ClientCore::onConnected(Handle handle) {
    setState(ConnectionState::Connected);
    console_.important(text::Connected);
    saveComm();
    retired_.reset();
    connection_ = std::make_unique<proto::Connection>(
        reactor_, handle, proto::Receiver::Client,
        [this](std::span<const std::uint8_t> bytes) { onPacket(bytes); },
        [this](int) { onClosedByServer(); });
    Packet login(Opcode::ReqLogin);
    login.set(proto::ReqLogin::userName, comm_.userName());
    login.set(proto::ReqLogin::password, comm_.password());
    send(login);
}

void ClientCore::dropConnection() {
    if (connecting_ != kNoHandle) {
        reactor_.unwatch(connecting_);
        tcp::closeSocket(connecting_);
        connecting_ = kNoHandle;
    }
    if (connection_) {
        connection_->close();
        retired_ = std::move(connection_);
    }
    reactor_.killTimer(this, kNoticeTimer);
    reactor_.killTimer(this, kKeepAliveTimer);
    endTransfers();
    setState(ConnectionState::NotConnected);
}

void ClientCore::onClosedByServer() {
    dropConnection();
    console_.important(text::Disconnected);
    alert();
}

void ClientCore::onPacket(std::span<const std::uint8_t> bytes) {
    const proto::Judgement judgement = proto::judgeAtClient(bytes);
    if (judgement.alive) keepAlive_ = 1;
    if (judgement.handler == nullptr) return;
    // A copy: the handler may close the connection whose buffer holds the bytes.
    const Packet p = Packet::received(bytes, judgement.handler->acceptedUpTo);
    switch (judgement.handler->opcode) {
        case Opcode::RepLogin:
            onLogin(p);
            break;
        case Opcode::PushBroadcast:
            onBroadcast(p);
            break;
        case Opcode::RepChangePassword:
            onPasswordChanged(p);
            break;
        case Opcode::RepGroupList:
            onGroupList(p);
            break;
        case Opcode::RepFileList:
            onFileList(p);
            break;
        case Opcode::RepFileProperties:
            onFileProperties(p);
            break;
        case Opcode::RepViewOpen:
            onViewOpen(p);
            break;
        case Opcode::RepViewChunk:
            onViewChunk(p);
            break;
        case Opcode::RepCheckOut:
            onCheckOut(p);
            break;
        case Opcode::PushCheckOutVoided:
            onCheckOutVoided(p);
            break;
        case Opcode::RepVoidCheckOut:
            onVoidCheckOut(p);
            break;
        case Opcode::RepFetchOpen:
            onFetchOpen(p);
            break;
        case Opcode::RepFetchChunk:
            onFetchChunk(p);
            break;
        case Opcode::RepCheckInChunk:
            onCheckInChunk(p);
            break;
        case Opcode::RepCheckIn:
            onCheckIn(p);
            break;
        case Opcode::RepNotice:
            onNotice(p);
            break;
        case Opcode::PushMessage:
            onMessage(p);
            break;
        case Opcode::RepSendMessage:
            onMessageCount(p);
            break;
        case Opcode::RepKeepAlive:
            keepAlive_ = 1;
            break;
        default:
            break;
    }
}

void ClientCore::onLogin(const Packet& p) {
    if (p.get(proto::RepLogin::result) == 0) {
        const std::string line =
            std::string(text::AccessDenied) + " " + p.get(proto::RepLogin::reason);
        console_.error(line);
        dropConnection();
        lastError_ = line;
        connectProcedure();
        return;
    }
    console_.important(std::string(text::LoggedInAs) + " " + quoted(comm_.userName()) + ".");
    saveComm();
    if (places_.workingCreated) ui_.showLegends();
    send(Packet(Opcode::ReqGroupList));
    reactor_.startTimer(this, kNoticeTimer, kNoticeDelay, TimerMode::OneShot,
                        [this] { onNoticeTimer(); });
    reactor_.startTimer(this, kKeepAliveTimer, kKeepAlivePeriod, TimerMode::Periodic,
                        [this] { onKeepAliveTick(); });
    keepAlive_ = 1;
}

void ClientCore::onNoticeTimer() {
    reactor_.killTimer(this, kNoticeTimer);
    send(Packet(Opcode::ReqNotice));
}

void ClientCore::onKeepAliveTick() {
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
            dropConnection();
            console_.error(text::ServerNotResponding);
            console_.important(text::Disconnected);
            alert();
            break;
    }
}

void ClientCore::saveComm() {
    if (!comm_.save(places_.commFile)) {
        console_.error(std::string(text::ConnectionSettingsNotSaved) + " " +
                       quoted(places_.commFile) + ".");
    }
}

void ClientCore::saveTable() {
    if (!table_.save(places_.checkOutFile)) {
        console_.error(std::string(text::CheckOutTableNotSaved) + " " +
                       quoted(places_.checkOutFile) + ".");
    }
}

void ClientCore::alert() {
    ui_.alert(places_.notifyFile);
}

// --- pushes and small answers ---

void ClientCore::onBroadcast(const Packet& p) {
    // 80 characters with no terminator of their own; the byte after them is always 0.
    const std::string line = p.get(proto::PushBroadcast::text).substr(0, 80);
    if (line.empty()) return;
    console_.important(line);
    alert();
}

void ClientCore::onPasswordChanged(const Packet& p) {
    if (p.get(proto::RepChangePassword::result) != 0) {
        console_.important(text::PasswordChanged);
    } else {
        console_.error(std::string(text::PasswordNotChanged) + " " +
                       p.get(proto::RepChangePassword::reason));
    }
}

void ClientCore::onNotice(const Packet& p) {
    const std::string notice = p.get(proto::RepNotice::text).substr(0, kMaxNoticeText);
    if (notice.empty()) return;
    console_.plain(text::NoticeHeader);
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = std::min(notice.find('\n', begin), notice.size());
        std::string line = notice.substr(begin, end - begin);
        while (line.size() > kMaxNoticeLine) {
            console_.plain(line.substr(0, kMaxNoticeLine));
            line.erase(0, kMaxNoticeLine);
        }
        console_.plain(line);
        if (end == notice.size()) break;
        begin = end + 1;
    }
    alert();
}

void ClientCore::onMessage(const Packet& p) {
    const std::string line =
        "<" + p.get(proto::PushMessage::sender) + "> \"" + p.get(proto::PushMessage::text) + "\"";
    console_.function(line, tag::ReplyMessage);
    if (p.get(proto::PushMessage::important) == 1) alert();
}

void ClientCore::onMessageCount(const Packet& p) {
    console_.plain(std::string(text::MessageSentTo) + " " +
                   std::to_string(p.get(proto::RepSendMessage::count)) + " " +
                   std::string(text::Users));
}

}  // namespace zelt::client
