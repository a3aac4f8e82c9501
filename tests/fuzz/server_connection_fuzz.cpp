// Arbitrary bytes from one client connection, logged in or not and cut into any pieces, must
// never crash the server nor trip a sanitizer.
//
// The server is started once; each input gets a fresh connection, and afterwards everything an
// input can change is put back as it was (the two records it can touch, the member files, the
// version folders, Temp), so that every input meets the same server. The bytes go straight into
// the connection's receive path instead of through a system call per piece, and the tables are
// written nowhere: an 8 MB Groups.zelt per check-out would be nearly all the work otherwise.
// For the same reason check-out marks go without the journal, whose rewrite would fingerprint
// the whole table at every input (the harness's clock passes the rewrite's delay each time),
// and copies are made on the one thread, so that each input is played out whole at once.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "common/console/console.h"
#include "common/platform/files.h"
#include "common/platform/poll_reactor.h"
#include "common/platform/tcp.h"
#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "common/scramble/scramble.h"
#include "server/core/server.h"
#include "server/core/session/login_throttle.h"
#include "server/core/ui/null_admin_ui.h"

namespace {

using namespace zelt;

// Member paths are relative to the data directory, the harness's working folder, so that
// inputs found in one run name the same files in the next. The fuzzer's own folders (corpus,
// artifacts) must therefore be given as absolute paths.
constexpr const char* kMembers[] = {"docs/a.txt", "docs/b.txt"};
constexpr const char* kContent = "member file content\n";

void writeMember(const char* path) {
    std::FILE* f = std::fopen(path, "w");
    if (f == nullptr) std::abort();
    std::fputs(kContent, f);
    std::fclose(f);
}

struct Harness {
    Harness() {
        // The server may close its end at any moment (a refused log-in does); the harness's
        // reads after that must not end the process.
        ::signal(SIGPIPE, SIG_IGN);
        // In memory when the machine has such a folder: the member files and versions that
        // inputs write are real files.
        char pattern[] = "/dev/shm/zelt-fuzz-XXXXXX";
        char fallback[] = "/tmp/zelt-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr) made = ::mkdtemp(fallback);
        // Without its folder and member files the harness would fuzz nothing worth fuzzing.
        if (made == nullptr || ::chdir(made) != 0) std::abort();
        dataDir = made;
        if (files::createFolder("docs") == files::FolderResult::Failed) std::abort();
        for (const char* member : kMembers) writeMember(member);

        server::ServerOptions options;
        options.dataDir = dataDir;
        options.listenPort = 0;
        options.connectionCapacity = 8;
        options.markJournal = false;
        options.copiesOnLoopThread = true;
        options.tableWriter = [](int, const void*, std::size_t size) {
            return static_cast<ssize_t>(size);
        };
        instance = std::make_unique<server::Server>(reactor, console, ui, options);
        instance->start();
        auto account = instance->accounts().record(0);
        account.set(server::AccountRecord::state, server::StateEnabled);
        account.set(server::AccountRecord::userName, "fuzz");
        account.set(server::AccountRecord::password, scramble::scramble("pw"));
        auto group = instance->groups().record(0);
        group.set(server::GroupRecord::state, server::StateEnabled);
        group.set(server::GroupRecord::name, "Team");
        group.set(server::GroupRecord::members.at(0), "fuzz");
        for (std::size_t k = 0; k < std::size(kMembers); ++k) {
            instance->groups().fileEntry(0, k).set(server::FileEntry::path, kMembers[k]);
        }
        accountImage = copyOf(instance->accounts().record(0).bytes());
        groupImage = copyOf(instance->groups().record(0).bytes());
        filesFolder = instance->paths().files;
    }

    static std::vector<std::uint8_t> copyOf(std::span<const std::uint8_t> bytes) {
        return {bytes.begin(), bytes.end()};
    }
    static void restore(proto::MutableView record, const std::vector<std::uint8_t>& image) {
        std::memcpy(record.mutableBytes().data(), image.data(), image.size());
    }

    // Everything an input can have changed, as it was.
    void reset() {
        restore(instance->accounts().record(0), accountImage);
        restore(instance->groups().record(0), groupImage);
        instance->repository().tempFiles().removeAll();
        // A check-in made a version folder and changed its member file.
        if (!files::listFolders(filesFolder).empty()) {
            (void)files::emptyFolderWhole(filesFolder);
            for (const char* member : kMembers) writeMember(member);
        }
        console.clearAll();
    }

    std::string dataDir;
    std::string filesFolder;
    ManualReactor reactor;
    Console console{reactor.clock()};
    server::NullAdminUi ui;
    std::unique_ptr<server::Server> instance;
    std::vector<std::uint8_t> accountImage;
    std::vector<std::uint8_t> groupImage;
};

void discard(Handle h) {
    std::uint8_t sink[16384];
    while (::read(h, sink, sizeof sink) > 0) {
    }
}

// Hands bytes to the connection as one read, then ends the turn (the answers held for a save
// go out); false once the server has closed the connection.
bool feed(Harness& h, server::ConnectionId id, std::span<const std::uint8_t> bytes) {
    server::ConnectionSlot* slot = h.instance->slots().find(id);
    if (slot == nullptr || !slot->open()) return false;
    slot->connection->receiveBytes(bytes);
    h.reactor.endTurn();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Harness h;
    Handle ends[2];
    if (!tcp::socketPair(ends)) return 0;
    const server::ConnectionId id = h.instance->slots().adopt(ends[0]);
    if (id.slot < 0) {
        ::close(ends[1]);
        return 0;
    }
    // The first byte chooses whether to log in first and how to cut the rest into reads.
    const std::uint8_t mode = size > 0 ? data[0] : 0;
    if (mode & 1) {
        proto::Packet login(proto::Opcode::ReqLogin);
        login.set(proto::ReqLogin::userName, "fuzz");
        login.set(proto::ReqLogin::password, scramble::scramble("pw"));
        feed(h, id, login.bytes());
    }
    const std::size_t piece = (mode >> 1) == 0 ? size : (mode >> 1);
    for (std::size_t at = 1; at < size; at += piece) {
        if (!feed(h, id, {data + at, std::min(piece, size - at)})) break;
        // Answers that the socket pair cannot hold would make the server stop reading.
        if (at % 4096 < piece) discard(ends[1]);
    }
    // Long enough for a short packet to be handed over, for every slowed refusal to be sent,
    // and for the counts of failed log-ins to be forgotten.
    h.reactor.advance(server::LoginThrottle::ForgetAfter + 1);
    h.instance->slots().free(id);
    h.reactor.drain();
    discard(ends[1]);
    ::close(ends[1]);
    h.reset();
    return 0;
}
