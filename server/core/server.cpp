#include "server/core/server.h"

#include <cstdio>
#include <new>

#include "common/platform/files.h"
#include "common/platform/tcp.h"
#include "common/protocol/dispatch.h"
#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "server/core/account_admin.h"
#include "server/core/displays.h"
#include "server/core/group_admin.h"
#include "server/core/names.h"
#include "server/core/repository.h"
#include "server/core/server_commands.h"

namespace zelt::server {

using proto::Opcode;
using proto::Packet;

Server::Server(Reactor& reactor, Console& console, AdminUi& ui, ServerOptions options)
    : reactor_(reactor),
      console_(console),
      ui_(ui),
      options_(std::move(options)),
      paths_(ServerPaths::under(options_.dataDir)),
      slots_(
          reactor, [this](int slot, std::span<const std::uint8_t> p) { onPacket(slot, p); },
          [this](int slot) { releaseSlot(slot); }, options_.connectionCapacity),
      repository_(std::make_unique<Repository>(*this)),
      groupAdmin_(std::make_unique<GroupAdmin>(*this)),
      accountAdmin_(std::make_unique<AccountAdmin>(*this)),
      commands_(std::make_unique<ServerCommands>(*this)) {
    slots_.onFull = [this] { console_.error("User connection full."); };
    slots_.onAcceptFailed = [this](int error) {
        char text[80];
        std::snprintf(text, sizeof text, "%s %d", "Accepting user connection failed:", error);
        console_.error(text);
    };
}

Server::~Server() {
    reactor_.killTimer(this, StartTimer);
    reactor_.killTimer(this, IdleTimer);
    reactor_.killTimer(this, CountdownTimer);
}

void Server::launch() {
    reactor_.startTimer(this, StartTimer, StartDelay, TimerMode::OneShot, [this] { start(); });
    reactor_.startTimer(this, IdleTimer, IdlePeriod, TimerMode::Periodic, [this] { idleCheck(); });
}

bool Server::start() {
    reactor_.killTimer(this, StartTimer);
    // The data directory itself may be new (a fresh installation); its folders are made below.
    // A folder that cannot be made shows up as the failure of the first write that needs it.
    (void)files::createFolder(paths_.dataDir);
    firstStart_ = files::createFolder(paths_.files) == files::FolderResult::Created;
    (void)files::createFolder(paths_.temp);
    // Copies and half-written table files left by a crash are of no use to anyone.
    files::emptyFolder(paths_.temp);
    files::removeUnfinishedWrites(paths_.dataDir);

    try {
        groups_ = std::make_unique<GroupTable>();
    } catch (const std::bad_alloc&) {
        console_.error("Memory allocation failed for group data. Cannot proceed the system.");
        return false;
    }
    groups_->load(paths_.groups);
    try {
        accounts_ = std::make_unique<AccountTable>();
    } catch (const std::bad_alloc&) {
        groups_.reset();
        console_.error("Memory allocation failed for account data. Cannot proceed the system.");
        return false;
    }
    accounts_->load(paths_.accounts);

    shutdownScheduled_ = false;
    minutesLeft_ = 0;
    accountAdmin_->resetSearchKeywords();
    port_ = readPort(paths_.comm);
    notice_ = NoticeSetting::read(paths_.notice);
    retentionCount_ = readRetentionCount(paths_.backup);

    showGroupInformation(console_, *groups_);
    showAccountInformation(console_, *accounts_);

    const std::uint16_t listenOn =
        options_.listenPort ? *options_.listenPort : static_cast<std::uint16_t>(port_);
    const tcp::ListenResult listened = slots_.listen(listenOn);
    switch (listened.failedAt) {
        case tcp::ListenStep::None:
            hostAddress_ = tcp::hostAddress();
            showServerReady();
            break;
        case tcp::ListenStep::Socket:
            console_.error("Windows socket failed (socket).");
            break;
        case tcp::ListenStep::Bind:
            console_.error("Windows socket failed (bind).");
            break;
        case tcp::ListenStep::GetSockName:
            console_.error("Windows socket failed (getsockname).");
            break;
        case tcp::ListenStep::Select:
            console_.error("Windows socket failed (select).");
            break;
        case tcp::ListenStep::Listen:
            console_.error("Windows socket failed (listen).");
            break;
    }
    if (firstStart_) ui_.showLegends();
    return true;
}

void Server::exit() {
    reactor_.killTimer(this, StartTimer);
    reactor_.killTimer(this, IdleTimer);
    reactor_.killTimer(this, CountdownTimer);
    if (groups_) saveGroups();
    if (accounts_) saveAccounts();
    closeCommunication(false);
    files::emptyFolder(paths_.temp);
}

bool Server::saveAccounts() {
    if (accounts_->save(paths_.accounts)) return true;
    console_.error("Failed to save the account table (Accounts.zelt).");
    return false;
}

bool Server::saveGroups() {
    if (groups_->save(paths_.groups)) return true;
    console_.error("Failed to save the group table (Groups.zelt).");
    return false;
}

void Server::showServerReady() { server::showServerReady(console_, hostAddress_, port_); }

// --- Connections ---------------------------------------------------------------------------

void Server::onPacket(int slot, std::span<const std::uint8_t> packet) {
    ConnectionSlot& s = slots_[static_cast<std::size_t>(slot)];
    const proto::Judgement j = proto::judgeAtServer(packet, s.loggedIn());
    if (j.alive) s.activity = 1;
    if (j.handler == nullptr) return;
    switch (j.handler->opcode) {
        case Opcode::ReqLogin:
            handleLogIn(slot, packet);
            break;
        case Opcode::ReqChangePassword:
            handleChangePassword(slot, packet);
            break;
        case Opcode::ReqGroupList:
            handleGroupList(slot);
            break;
        case Opcode::ReqFileList:
            handleFileList(slot, packet);
            break;
        case Opcode::ReqNotice:
            handleNotice(slot);
            break;
        case Opcode::ReqSendMessage:
            handleSendMessage(slot, packet);
            break;
        case Opcode::ReqKeepAlive:
            handleKeepAlive(slot);
            break;
        default:
            repository_->onRequest(slot, j.handler->opcode, packet);
            break;
    }
}

int Server::accountOf(int slot) const {
    if (slot < 0 || static_cast<std::size_t>(slot) >= slots_.capacity()) return -1;
    const ConnectionSlot& s = slots_[static_cast<std::size_t>(slot)];
    return s.loggedIn() ? s.account : -1;
}

std::string Server::userNameOf(int slot) const {
    const int account = accountOf(slot);
    if (account < 0) return "";
    return accounts_->record(static_cast<std::size_t>(account)).get(AccountRecord::userName);
}

void Server::releaseSlot(int slot) {
    const int account = slots_[static_cast<std::size_t>(slot)].account;
    if (account >= 0 && accounts_) {
        accounts_->record(static_cast<std::size_t>(account)).set(AccountRecord::connected, 0);
    }
}

void Server::disconnectAccount(int account, bool withLine) {
    if (account < 0) return;
    const std::string name =
        accounts_->record(static_cast<std::size_t>(account)).get(AccountRecord::userName);
    for (std::size_t i = 0; i < slots_.capacity(); ++i) {
        if (slots_[i].connection && slots_[i].account == account) {
            slots_.free(static_cast<int>(i));
            if (withLine) console_.plain("User '" + name + "' disconnected.");
        }
    }
}

int Server::findSlotByUserName(std::string_view userName) const {
    const std::string_view wanted = proto::capped(userName, MaxUserNameLength);
    if (wanted.empty()) return -1;
    for (std::size_t i = 0; i < slots_.capacity(); ++i) {
        const ConnectionSlot& s = slots_[i];
        if (!s.loggedIn()) continue;
        const auto r = accounts_->record(static_cast<std::size_t>(s.account));
        if (r.get(AccountRecord::connected) != 1) continue;
        if (equalsIgnoringCase(r.get(AccountRecord::userName), wanted)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Server::broadcast(std::string_view text) {
    Packet push(Opcode::PushBroadcast);
    push.set(proto::PushBroadcast::text, text);
    for (std::size_t i = 0; i < slots_.capacity(); ++i) {
        const ConnectionSlot& s = slots_[i];
        if (!s.loggedIn()) continue;
        if (accounts_->record(static_cast<std::size_t>(s.account)).get(AccountRecord::connected) ==
            1) {
            slots_.send(static_cast<int>(i), push.bytes());
        }
    }
}

void Server::closeCommunication(bool withLines) {
    // A countdown still running would close a second time when it ran out.
    reactor_.killTimer(this, CountdownTimer);
    shutdownScheduled_ = false;
    slots_.closeListener();
    slots_.freeAll();
    if (withLines) {
        console_.important("Communication closed.");
        console_.function("Close ZELT server.", "CLOSESRV");
    }
}

void Server::idleCheck() {
    for (std::size_t i = 0; i < slots_.capacity(); ++i) {
        ConnectionSlot& s = slots_[i];
        if (!s.open()) continue;
        if (!s.loggedIn()) {
            // A client logs in as soon as it connects; a socket that has not done so by the
            // second check only holds a slot that others need.
            if (++s.checksWithoutLogIn >= 2) slots_.free(static_cast<int>(i));
            continue;
        }
        if (s.activity == 1) {
            s.activity = 2;
        } else if (s.activity == 2) {
            const int account = s.account;
            accounts_->record(static_cast<std::size_t>(account)).set(AccountRecord::connected, 0);
            disconnectAccount(account, false);
        }
    }
}

}  // namespace zelt::server
