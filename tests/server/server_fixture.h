#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/console/console.h"
#include "common/platform/poll_reactor.h"
#include "common/protocol/layouts.h"
#include "common/scramble/scramble.h"
#include "server/core/server.h"
#include "tests/server/scripted_ui.h"
#include "tests/support/console_lines.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_peer.h"

namespace zelt::server::test {

using zelt::test::TempDir;
using zelt::test::TestPeer;

// A started server core on a manual clock, listening on a free port of 127.0.0.1, with a
// scripted administrator in front of it and helpers to fill its tables and to log peers in.
class ServerFixture : public ::testing::Test {
protected:
    void SetUp() override { startServer(); }
    void TearDown() override { server.reset(); }

    void startServer() {
        server.reset();
        ServerOptions options;
        options.dataDir = dataDir.empty() ? dir.path() : dataDir;
        options.listenPort = 0;
        options.tempLimits = tempLimits;
        options.connectionCapacity = connectionCapacity;
        server = std::make_unique<Server>(reactor, console, ui, options);
        // As the program does: the start-up runs from its timer, and the idle check runs
        // every minute from then on.
        server->launch();
        reactor.advance(Server::StartDelay);
        ASSERT_TRUE(server->loaded());
        ASSERT_TRUE(server->listening());
    }

    int addAccount(const std::string& name, const std::string& password = "secret",
                   int state = StateEnabled) {
        AccountTable& accounts = server->accounts();
        const int index = accounts.findFree();
        auto r = accounts.record(static_cast<std::size_t>(index));
        r.set(AccountRecord::state, state);
        r.set(AccountRecord::userName, name);
        r.set(AccountRecord::password, scramble::scramble(password));
        return index;
    }

    int addGroup(const std::string& name, const std::vector<std::string>& members,
                 const std::vector<std::string>& paths = {}, int state = StateEnabled) {
        GroupTable& groups = server->groups();
        const int index = groups.findFree();
        auto g = groups.record(static_cast<std::size_t>(index));
        g.set(GroupRecord::state, state);
        g.set(GroupRecord::name, name);
        for (std::size_t k = 0; k < members.size(); ++k)
            g.set(GroupRecord::members.at(k), members[k]);
        for (std::size_t k = 0; k < paths.size(); ++k) {
            groups.fileEntry(static_cast<std::size_t>(index), k).set(FileEntry::path, paths[k]);
        }
        // Saved as the group dialog does: what the server has and what Groups.zelt holds agree.
        EXPECT_TRUE(server->saveGroups());
        return index;
    }

    std::unique_ptr<TestPeer> connect() {
        return std::make_unique<TestPeer>(reactor, server->listeningPort());
    }

    static proto::Packet logInPacket(const std::string& name, const std::string& password) {
        proto::Packet p(proto::Opcode::ReqLogin);
        p.set(proto::ReqLogin::userName, name);
        p.set(proto::ReqLogin::password, scramble::scramble(password));
        return p;
    }

    // Connects and logs in; the log-in must succeed.
    std::unique_ptr<TestPeer> logIn(const std::string& name,
                                    const std::string& password = "secret") {
        auto peer = connect();
        peer->send(logInPacket(name, password));
        const proto::Packet reply = peer->expect(proto::Opcode::RepLogin);
        EXPECT_EQ(reply.get(proto::RepLogin::result), 1) << reply.get(proto::RepLogin::reason);
        return peer;
    }

    // Texts of the console lines appended since a mark (console.size() taken earlier).
    std::vector<std::string> linesSince(std::size_t mark) const {
        return zelt::test::lineTextsSince(console, mark);
    }

    TempDir dir;
    // What the next startServer() uses: another data directory than dir, other disk limits, a
    // smaller connection table.
    std::string dataDir;
    TempFiles::Limits tempLimits;
    std::size_t connectionCapacity = MaxConnections;
    ManualReactor reactor;
    Console console{reactor.clock()};
    ScriptedUi ui;
    std::unique_ptr<Server> server;
};

}  // namespace zelt::server::test
