// A hostile or broken server: arbitrary bytes arriving at the client in any pieces, between
// any of the commands a user may give, must never crash the client nor trip a sanitizer.
//
// The real client core runs with a front end that answers every dialog as a user who says
// yes would. Each input gets a fresh core connected over 127.0.0.1, whose local files are put
// back first, so that every input meets the same client; the bytes then go straight into the
// connection's receive path instead of through a system call per piece.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <sanitizer/asan_interface.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "client/core/client.h"
#include "client/core/ui/null_client_ui.h"
#include "common/platform/files.h"
#include "common/platform/poll_reactor.h"
#include "common/platform/tcp.h"
#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"

namespace {

using namespace zelt;

// A user who fills in every dialog and says yes to every question.
class WillingUi : public client::NullClientUi {
public:
    bool runLogin(client::LoginForm& form,
                  const ui::FormCheck<client::LoginForm>&) override {
        // Only the log-in the harness asks for: a refused one reopens the dialog.
        if (!allowLogin) return false;
        allowLogin = false;
        form.userName = "fuzz";
        form.password = "pw";
        form.address = {127, 0, 0, 1};
        form.port = std::to_string(port);
        return true;
    }
    bool runAccountProperties(client::PasswordForm& form,
                              const ui::FormCheck<client::PasswordForm>&) override {
        form = {"pw", "new", "new"};
        return true;
    }
    client::CommentReply runComment(const std::string&) override {
        return {true, {"fuzzed", "comment"}, true};
    }
    bool askYesNo(const std::string&) override { return true; }

    bool allowLogin = false;
    std::uint16_t port = 0;
};

struct Harness {
    Harness() {
        ::signal(SIGPIPE, SIG_IGN);
        char pattern[] = "/dev/shm/zelt-client-fuzz-XXXXXX";
        char fallback[] = "/tmp/zelt-client-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr) made = ::mkdtemp(fallback);
        if (made == nullptr) std::abort();
        places.dataDirectory = std::string(made) + "/data";
        places.userFolder = std::string(made) + "/user";
        if (files::createFolder(places.dataDirectory) == files::FolderResult::Failed) std::abort();
        const tcp::ListenResult listening = tcp::listenAll(0);
        if (listening.handle == kNoHandle) std::abort();
        listener = listening.handle;
        ui.port = listening.port;
    }

    // The local state as a first start finds it.
    void reset() {
        files::discardFile(files::join(places.dataDirectory, "Chkout.zelt"));
        for (const char* folder : {"Working", "Temp", "Backup"}) {
            (void)files::emptyFolderWhole(files::join(places.userFolder, folder));
        }
    }

    // Where each input's core lives. Made on the heap, a core (with its check-out table, a
    // third of a megabyte) would be a fresh mapping for every input, its pages faulted in
    // anew; here the same pages serve every input. Between two cores the storage is poisoned,
    // so that a timer or a callback left behind by a dead core is still caught, and zeroed
    // first, so that the leak check (which reads static storage for pointers) does not take
    // what the dead core pointed to as still held.
    client::ClientCore* makeCore(client::ClientOptions options) {
        ASAN_UNPOISON_MEMORY_REGION(coreStorage, sizeof coreStorage);
        return new (coreStorage) client::ClientCore(reactor, ui, std::move(options));
    }
    void endCore(client::ClientCore* core) {
        core->~ClientCore();
        std::memset(coreStorage, 0, sizeof coreStorage);
        ASAN_POISON_MEMORY_REGION(coreStorage, sizeof coreStorage);
    }

    alignas(client::ClientCore) unsigned char coreStorage[sizeof(client::ClientCore)];
    client::PlaceOptions places;
    Handle listener = kNoHandle;
    ManualReactor reactor;
    WillingUi ui;
};

void discard(Handle h) {
    std::uint8_t sink[16384];
    while (::read(h, sink, sizeof sink) > 0) {
    }
}

// What the user does between two pieces of the server's bytes, chosen by a byte of the input.
void command(client::ClientCore& core, std::uint8_t choice) {
    switch (choice % 24) {
        case 1:
            core.yourGroups();
            break;
        case 2:
            core.selectAvailableFiles({0, 1, 2});
            core.checkOutSelected();
            break;
        case 3:
            core.selectAvailableFiles({choice % 3});
            core.requestSelectedProperties();
            break;
        case 4:
            core.selectWorkingFiles({0, 1});
            core.fetchSelected();
            break;
        case 5:
            core.selectWorkingFiles({0, 1});
            core.checkInSelected();
            break;
        case 6:
            core.selectWorkingFiles({0});
            core.voidSelected();
            break;
        case 7:
            core.viewFile();
            break;
        case 8:
            core.cancelTransfer();
            break;
        case 9:
            core.refreshAvailableFiles();
            core.refreshFileProperties();
            break;
        case 10:
            core.sendMessage({"@Team;anna", "hello", true});
            break;
        case 11:
            core.accountProperties();
            break;
        case 12:
            // Lines the server's bytes made (group names, messages) carry functions too.
            core.executeLine(static_cast<int>(core.console().size()) - 1 - choice / 24);
            break;
        case 13:
            core.showStatus();
            core.showWorkingFiles();
            break;
        case 14:
            core.messageHolder();
            core.openSelected();
            break;
        case 15:
            core.disconnect();
            break;
        default:
            break;  // most pieces come without a command, zeros above all
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Harness h;
    h.reset();
    client::ClientOptions options;
    options.places = h.places;
    options.shellOpen = [](const std::string&) { return 42; };
    client::ClientCore* core = h.makeCore(std::move(options));
    if (!core->start()) std::abort();
    h.ui.allowLogin = true;
    h.reactor.advance(client::ClientCore::kStartUpDelay);  // the start-up connects

    bool wouldBlock = false;
    int error = 0;
    Handle server = tcp::acceptConnection(h.listener, &wouldBlock, &error);
    for (int tries = 0; server == kNoHandle && wouldBlock && tries < 100; ++tries) {
        h.reactor.drain();
        server = tcp::acceptConnection(h.listener, &wouldBlock, &error);
    }
    if (server == kNoHandle) std::abort();
    h.reactor.drain();  // connected: the client sends its log-in

    // The first byte chooses whether the log-in is accepted first and how to cut the rest into
    // reads; each piece starts with the user's next command.
    const std::uint8_t mode = size > 0 ? data[0] : 0;
    const auto feed = [&](std::span<const std::uint8_t> bytes) {
        if (proto::Connection* connection = core->serverConnection()) {
            connection->receiveBytes(bytes);
        }
        h.reactor.endTurn();
    };
    if (mode & 1) {
        proto::Packet welcome(proto::Opcode::RepLogin);
        welcome.set(proto::RepLogin::result, 1);
        feed(welcome.bytes());
    }
    const std::size_t piece = (mode >> 1) == 0 ? size : (mode >> 1) + 1;
    for (std::size_t at = 1; at < size; at += piece) {
        command(*core, data[at]);
        const std::size_t end = std::min(at + piece, size);
        if (at + 1 < end) feed({data + at + 1, end - at - 1});
        if (at % 4096 < piece) discard(server);
    }
    // The notice timer, a short packet handed over, and the keep-alive watch giving up.
    h.reactor.advance(3 * client::ClientCore::kKeepAlivePeriod + 1);
    h.endCore(core);
    h.reactor.drain();
    discard(server);
    tcp::closeSocket(server);
    return 0;
}
