#include "client/core/client.h"

#include "client/core/session/status_display.h"
#include "client/core/ui/texts.h"
#include "common/platform/shell.h"
#include "common/protocol/dispatch.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;

// One member for every answer and push of the catalogue, each handing its packet to the unit
// that handles it.
class ClientCore::Answers {
public:
    explicit Answers(ClientCore& core) : c_(core) {}

    void onRepLogin(const Packet& p) { c_.session_.onLogin(p); }
    void onPushBroadcast(const Packet& p) {
        ServerPush push;
        push.kind = ServerPush::Kind::Broadcast;
        push.text = c_.session_.onBroadcast(p);
        if (!push.text.empty()) c_.events_.pushed(push);
    }
    void onRepChangePassword(const Packet& p) { c_.password_.onAnswer(p); }
    void onRepGroupList(const Packet& p) { c_.available_.onGroupList(p); }
    void onRepFileList(const Packet& p) { c_.available_.onFileList(p); }
    void onRepFileProperties(const Packet& p) {
        c_.available_.onProperties(p);
        c_.properties_.onAnswer(p);
    }
    void onRepViewOpen(const Packet& p) { c_.view_.onOpen(p); }
    void onRepViewChunk(const Packet& p) { c_.view_.onChunk(p); }
    void onRepCheckOut(const Packet& p) { c_.checkOut_.onAnswer(p); }
    void onPushCheckOutVoided(const Packet& p) { c_.checkOut_.onVoided(p); }
    void onRepVoidCheckOut(const Packet& p) { c_.voidCheckOut_.onAnswer(p); }
    void onRepFetchOpen(const Packet& p) { c_.fetch_.onOpen(p); }
    void onRepFetchChunk(const Packet& p) { c_.fetch_.onChunk(p); }
    void onRepCheckInChunk(const Packet& p) { c_.checkIn_.onChunk(p); }
    void onRepCheckIn(const Packet& p) { c_.checkIn_.onAnswer(p); }
    void onRepNotice(const Packet& p) { c_.notice_.onAnswer(p); }
    void onPushMessage(const Packet& p) { c_.messaging_.onMessage(p); }
    void onRepSendMessage(const Packet& p) { c_.messaging_.onCount(p); }
    void onRepKeepAlive(const Packet&) { c_.session_.onKeepAlive(); }

private:
    ClientCore& c_;
};

ClientCore::ClientCore(Reactor& reactor, ClientUi& ui, ClientOptions options)
    : reactor_(reactor),
      ui_(ui),
      options_(std::move(options)),
      console_(reactor.clock()),
      local_(console_),
      shell_(options_.shellOpen ? options_.shellOpen : ShellOpener::OpenFn(shell::open), ui_),
      session_(reactor_, this, console_, ui_, local_,
               SessionHooks{[this](Opcode opcode, const Packet& p) { onAnswer(opcode, p); },
                            [this] { connectionChanged(); }, [this] { connectionLost(); },
                            [this] { loggedIn(); }}),
      engine_(console_, ui_, session_, reactor.clock()),
      properties_(ui_, events_, session_),
      available_(console_, ui_, events_, session_, properties_),
      working_(console_, ui_, session_, local_, engine_, shell_),
      checkOut_(console_, ui_, events_, session_, local_, available_, working_),
      view_(console_, ui_, events_, session_, local_, engine_, shell_),
      fetch_(console_, events_, session_, local_, engine_, working_),
      checkIn_(console_, ui_, events_, session_, local_, engine_, working_),
      voidCheckOut_(console_, ui_, events_, session_, local_, working_),
      password_(console_, ui_, events_, session_),
      messaging_(console_, ui_, events_, session_, local_),
      notice_(console_, ui_, events_, local_) {
    tags_ = {
        {tag::OpenWeb, [this](const std::string& text) { shell_.openAddress(text); }},
        {tag::OpenMail, [this](const std::string& text) { shell_.openMail(text); }},
        {tag::ShowCheckOuts, [this](const std::string&) { working_.showCommand(); }},
        {tag::LogoutNow, [this](const std::string&) { session_.disconnectNow(); }},
        {tag::GroupFiles, [this](const std::string& text) { available_.openGroup(text); }},
        {tag::CloseClient, [this](const std::string&) { closeClient(); }},
        {tag::ReplyMessage, [this](const std::string& text) { messaging_.reply(text); }},
    };
}

ClientCore::~ClientCore() {
    reactor_.killTimer(this, kStartUpTimer);
}

StartUpResult ClientCore::start() {
    StartUpResult result;
    if (!local_.claim(options_.places, &result.error)) return result;
    result.started = true;
    reactor_.startTimer(this, kStartUpTimer, kStartUpDelay, TimerMode::OneShot, [this] {
        reactor_.killTimer(this, kStartUpTimer);
        startUp();
    });
    return result;
}

void ClientCore::startUp() {
    local_.load(options_.places);
    connect();
}

// --- the units' news ---

void ClientCore::onAnswer(Opcode opcode, const Packet& p) {
    Answers answers(*this);
    proto::dispatchAnswer(opcode, answers, p);
}

// The windows' buttons follow the connection.
void ClientCore::connectionChanged() {
    available_.connectionChanged();
    if (working_.exists()) working_.update();
}

// Whatever was under way ends with the connection; the Working Files buttons work again.
void ClientCore::connectionLost() {
    fetch_.abandon();
    checkOut_.connectionLost();
    checkIn_.connectionLost();
    if (engine_.abandon() && working_.exists()) working_.update();
}

void ClientCore::loggedIn() {
    events_.ended(Flow::LogIn);
    available_.requestGroups();
    checkOut_.settleWaiting();
}

// --- commands ---

bool ClientCore::commandEnabled(ClientCommand command) const {
    return client::commandEnabled(command, session_.connectionState());
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
            openFolder(local_.places().working);
            break;
        case ClientCommand::BackupFolder:
            openFolder(local_.places().backup);
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

void ClientCore::showStatus() {
    console_.clearWhenLong();
    printStatus(console_, session_.connectionState(), local_.comm().userName(), local_.table());
}

void ClientCore::yourGroups() {
    console_.clearWhenLong();
    available_.requestGroups();
    checkOut_.settleWaiting();
}

void ClientCore::showManual() {
    console_.clearWhenLong();
    printManual(console_);
}

void ClientCore::openSelected() {
    if (working_.openSelected()) fetch_.fetchSelected();
}

// --- closing ---

void ClientCore::closeClient() {
    session_.drop();
    local_.emptyTemp();
    destroyToolWindows();
    ui_.closeMainWindow();
}

bool ClientCore::windowCloseRequested() {
    if (session_.connected()) {
        session_.disconnect();
        return false;
    }
    session_.drop();
    local_.emptyTemp();
    destroyToolWindows();
    return true;
}

void ClientCore::destroyToolWindows() {
    available_.destroy();
    properties_.destroy();
    engine_.destroyWindow();
    working_.destroy();
}

}  // namespace zelt::client
