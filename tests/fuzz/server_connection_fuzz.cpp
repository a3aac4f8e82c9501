// Arbitrary bytes from one client connection, logged in or not, must never crash the server
// nor trip a sanitizer.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "common/console/console.h"
#include "common/platform/files.h"
#include "common/platform/poll_reactor.h"
#include "common/platform/tcp.h"
#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "common/scramble/scramble.h"
#include "server/core/server.h"

namespace {

using namespace zelt;

struct Harness {
    Harness() {
        // The server may close its end at any moment (a refused log-in does); the harness's
        // writes after that must not end the process.
        ::signal(SIGPIPE, SIG_IGN);
        char pattern[] = "/tmp/zelt-fuzz-XXXXXX";
        dataDir = ::mkdtemp(pattern);
        // No test framework here: a harness that cannot set itself up stops at once.
        if (files::createFolder(dataDir + "/docs") == files::FolderResult::Failed) {
            std::fprintf(stderr, "cannot create %s/docs\n", dataDir.c_str());
            std::abort();
        }
        for (const char* name : {"a.txt", "b.txt"}) {
            std::FILE* f = std::fopen((dataDir + "/docs/" + name).c_str(), "w");
            std::fputs("member file content\n", f);
            std::fclose(f);
        }
        server::ServerOptions options;
        options.dataDir = dataDir;
        options.listenPort = 0;
        options.connectionCapacity = 8;
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
        instance->groups().fileEntry(0, 0).set(server::FileEntry::path, dataDir + "/docs/a.txt");
        instance->groups().fileEntry(0, 1).set(server::FileEntry::path, dataDir + "/docs/b.txt");
    }

    std::string dataDir;
    ManualReactor reactor;
    Console console{reactor.clock()};
    server::AdminUi ui;
    std::unique_ptr<server::Server> instance;
};

void discard(Handle h) {
    std::uint8_t sink[8192];
    while (::read(h, sink, sizeof sink) > 0) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Harness h;
    Handle ends[2];
    if (!tcp::socketPair(ends)) return 0;
    const int slot = h.instance->slots().adopt(ends[0]);
    if (slot < 0) {
        ::close(ends[1]);
        return 0;
    }
    // The first byte chooses whether to log in first and how to cut the rest into writes.
    const std::uint8_t mode = size > 0 ? data[0] : 0;
    if (mode & 1) {
        proto::Packet login(proto::Opcode::ReqLogin);
        login.set(proto::ReqLogin::userName, "fuzz");
        login.set(proto::ReqLogin::password, scramble::scramble("pw"));
        [[maybe_unused]] auto n = ::write(ends[1], login.bytes().data(), login.size());
        h.reactor.drain();
        discard(ends[1]);
    }
    const std::size_t piece = (mode >> 1) == 0 ? size : (mode >> 1);
    for (std::size_t at = 1; at < size; at += piece) {
        const std::size_t n = std::min(piece, size - at);
        [[maybe_unused]] auto written = ::write(ends[1], data + at, n);
        h.reactor.drain();
        discard(ends[1]);
    }
    h.reactor.advance(proto::Connection::ShortPacketWait + 1);
    discard(ends[1]);
    ::close(ends[1]);
    h.reactor.drain();
    h.instance->slots().free(slot);
    h.reactor.drain();
    h.console.clearAll();
    return 0;
}
