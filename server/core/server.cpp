#include "server/core/server.h"

#include "common/platform/files.h"
#include "common/platform/tcp.h"
#include "server/core/admin/admin_protocol.h"
#include "server/core/admin/status_displays.h"
#include "server/core/repository/leftovers.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

Server::Server(Reactor& reactor, Console& console, AdminUi& ui, ServerOptions options)
    : reactor_(reactor),
      console_(console),
      ui_(ui),
      options_(std::move(options)),
      paths_(ServerPaths::under(options_.dataDir)),
      store_(reactor, console, paths_, options_.tableWriter, options_.markJournal),
      slots_(reactor, options_.connectionCapacity),
      sessions_(reactor, console, store_, slots_),
      admission_(reactor, console, ui, slots_),
      communication_(reactor, console, ui, slots_),
      sessionRequests_(reactor, console, store_, slots_, sessions_,
                       options_.offerPipelining),
      notice_(console, ui, slots_, settings_.notice, paths_),
      messages_(reactor, console, ui, store_, slots_, sessions_),
      shutdown_(reactor, console, ui, store_, sessions_, communication_),
      repository_(reactor, store_, slots_, sessions_,
                  {paths_.files, paths_.temp, options_.tempLimits, options_.copiesOnLoopThread}, settings_.retentionCount),
      accountAdmin_(console, ui, store_, sessions_),
      groupAdmin_(console, ui, store_, accountAdmin_, repository_.versions(),
                  repository_.checkOuts()),
      settingsAdmin_(console, ui, settings_, paths_, hostAddress_, communication_),
      commands_(console, ui, store_,
                {accountAdmin_, groupAdmin_, settingsAdmin_, shutdown_, notice_, communication_}),
      router_(slots_, {sessionRequests_, notice_, messages_, repository_}),
      adminRequests_(console, {reactor.clock(), ui, store_, slots_, settings_, accountAdmin_,
                               groupAdmin_, settingsAdmin_, shutdown_, notice_, messages_,
                               commands_, repository_.versions(), repository_.checkOuts()}),
      adminSocket_(reactor, console, adminRequests_) {
    slots_.onPacket = [this](ConnectionId id, std::span<const std::uint8_t> packet) {
        router_.onPacket(id, packet);
    };
    slots_.onRelease = [this](const ConnectionSlot& slot) {
        const auto index = static_cast<int>(&slot - &slots_[0]);
        repository_.connectionClosed({index, slot.generation});
        sessions_.release(slot);
    };
    admission_.answering = [this](ConnectionId id) { return sessionRequests_.logInPending(id); };
    slots_.onStuck = [this](const ConnectionSlot& slot) { sessions_.reportNotReading(slot); };
}

Server::~Server() {
    stopTimers();
}

void Server::stopTimers() {
    reactor_.killTimer(this, StartTimer);
    sessions_.stopIdleCheck();
}

void Server::launch() {
    reactor_.startTimer(this, StartTimer, StartDelay, TimerMode::OneShot, [this] { start(); });
    sessions_.startIdleCheck();
}

std::optional<std::string> Server::lockDataDirectory() {
    // The data directory itself may be new (a fresh installation); nothing else is made or read
    // before the lock is ours.
    (void)files::createFolder(paths_.dataDir);
    switch (lock_.take(paths_.dataDir)) {
        case DirectoryLock::Result::Taken:
            return std::nullopt;
        case DirectoryLock::Result::InUse:
            if (lock_.holder() > 0) {
                return text::format(text::DataDirectoryInUseBy, paths_.dataDir, lock_.holder());
            }
            return text::format(text::DataDirectoryInUse, paths_.dataDir);
        case DirectoryLock::Result::Failed:
            break;
    }
    return text::format(text::DataDirectoryUnusable, paths_.dataDir);
}

StartResult Server::start() {
    reactor_.killTimer(this, StartTimer);
    if (!lock_.held()) {
        if (const auto refusal = lockDataDirectory()) {
            stopTimers();
            ui_.startRefused(*refusal);
            return StartResult::Refused;
        }
    }
    // A folder that cannot be made shows up as the failure of the first write that needs it.
    firstStart_ = files::createFolder(paths_.files) == files::FolderResult::Created;
    // Copies and half-written table files left by a crash are of no use to anyone.
    const files::Removed temp = clearTemp();
    const files::Removed tables = files::removeUnfinishedWrites(paths_.dataDir);
    // The directory is ours, so an administration socket left in it by a crash is nobody's.
    // It opens before the tables, so that an administrator can still reach a server whose
    // port could not be opened.
    adminSocket_.open(files::join(paths_.dataDir, std::string(adminproto::SocketName)));

    if (!store_.load()) return StartResult::NotLoaded;
    accountAdmin_.resetSearchKeywords();
    settings_ = ServerSettings::read(paths_);
    // Port 0 would listen wherever the system chose, which no client can be told; any other
    // value out of range would wrap round to some unrelated port.
    if (!isUsablePort(settings_.port)) {
        console_.error(text::format(text::StoredPortInvalid, settings_.port, DefaultPort));
        settings_.port = DefaultPort;
    }
    reportRepositoryCheck(console_, checkRepository(store_.groups(), repository_.versions()),
                          tables, temp);

    showGroupInformation(console_, store_.groups());
    showAccountInformation(console_, store_.accounts());

    const std::uint16_t listenOn =
        options_.listenPort ? *options_.listenPort : static_cast<std::uint16_t>(settings_.port);
    if (communication_.open(listenOn)) {
        hostAddress_ = tcp::hostAddress();
        settingsAdmin_.showServerReady();
    }
    if (firstStart_) ui_.showLegends();
    return StartResult::Loaded;
}

void Server::exit() {
    stopTimers();
    // A server that never had the data directory leaves it as the one that has it keeps it.
    if (!lock_.held()) return;
    // A commit under way has replaced its file already, or will have: it ends, its check-out
    // released, before the tables are saved.
    repository_.finishWork();
    if (store_.loaded()) {
        (void)store_.saveGroups();
        (void)store_.saveAccounts();
    }
    shutdown_.closeCommunication(false);
    adminSocket_.close();
    repository_.tempFiles().removeAll();
    (void)clearTemp();
}

files::Removed Server::clearTemp() {
    // Temp is the server's own; whatever else stands at its name is taken away, a symbolic link
    // above all, which would otherwise have the clean-up empty the folder it leads to.
    files::Removed removed;
    const files::FileKind kind = files::kindOf(paths_.temp);
    if (kind != files::FileKind::Folder && kind != files::FileKind::Missing &&
        files::removeFile(paths_.temp)) {
        ++removed.count;
    }
    (void)files::createFolder(paths_.temp);
    removed += files::emptyFolderWhole(paths_.temp);
    return removed;
}

}  // namespace zelt::server
