#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "client/core/client.h"
#include "client/core/ui/texts.h"
#include "common/platform/files.h"
#include "common/platform/poll_reactor.h"
#include "common/protocol/layouts.h"
#include "common/scramble/scramble.h"
#include "server/core/repository/repository.h"
#include "server/core/server.h"
#include "tests/client/fake_ui.h"
#include "tests/server/server_fixture.h"
#include "tests/support/console_lines.h"
#include "tests/support/temp_dir.h"

namespace zelt::integration {

using client::ClientCore;
using client::ConnectionState;
using client::LoginForm;
using server::Server;
using zelt::test::readAll;
using zelt::test::writeAll;

// A client's windows that can also act while a transfer runs, as a user pressing Cancel does.
class DeskUi : public client::test::FakeUi {
public:
    void fileTransferChanged(const client::FileTransferModel& model) override {
        FakeUi::fileTransferChanged(model);
        if (onTransfer) onTransfer(model);
    }
    // A modal dialog keeps the reactor turning while the user writes.
    client::CommentReply runComment(const std::string& path) override {
        if (whileCommenting) whileCommenting();
        return FakeUi::runComment(path);
    }

    std::function<void(const client::FileTransferModel&)> onTransfer;
    std::function<void()> whileCommenting;
};

// One user's desktop: a client core with its own data directory and user folder.
struct Desk {
    std::string dataDir;
    std::string userDir;
    DeskUi ui;
    client::test::FlowLog flows;
    std::unique_ptr<ClientCore> core;
    std::vector<std::string> opened;  // what the client asked the desktop to open

    std::string working(const std::string& name = "") const {
        return userDir + "/Working" + (name.empty() ? "" : "/" + name);
    }
    std::string backup(const std::string& name) const { return userDir + "/Backup/" + name; }
    std::string checkOutFile() const { return dataDir + "/Chkout.zelt"; }

    std::vector<std::string> lines() const { return zelt::test::lineTextsSince(core->console()); }
    std::size_t mark() const { return core->console().size(); }
    std::vector<std::string> linesSince(std::size_t at) const {
        return zelt::test::lineTextsSince(core->console(), at);
    }
    bool hasLine(const std::string& text) const {
        return zelt::test::hasLine(core->console(), text);
    }
    LineKind kindOf(const std::string& text) const {
        return zelt::test::kindOfLast(core->console(), text);
    }
    bool connected() const { return core && core->connectionState() == ConnectionState::Connected; }
};

// The real server core and real client cores on one manual reactor, talking over 127.0.0.1,
// each with its own folders in one temporary directory. The server has the users anna and bob
// (password "secret") and whatever groups a test adds; its member files live under docs/.
class ClientServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_NE(files::createFolder(dir.file("docs")), files::FolderResult::Failed);
        startServer();
        addAccount("anna");
        addAccount("bob");
        ASSERT_TRUE(server->saveAccounts());
    }
    void TearDown() override {
        desks.clear();
        server.reset();
    }

    // --- the server -------------------------------------------------------------------------

    std::string serverDir() const { return dir.file("server"); }

    void startServer() {
        server.reset();
        server::ServerOptions options;
        options.dataDir = serverDir();
        options.listenPort = 0;
        options.connectionCapacity = connectionCapacity;
        options.offerPipelining = offerPipelining;
        server = std::make_unique<Server>(reactor, serverConsole, serverUi, options);
        server->launch();
        reactor.advance(Server::StartDelay);
        ASSERT_TRUE(server->listening());
    }
    // The administrator closes the server program and starts it again on the same data.
    void restartServer() {
        server->exit();
        startServer();
    }

    void addAccount(const std::string& name, const std::string& password = "secret",
                    int state = server::StateEnabled) {
        server::AccountTable& accounts = server->accounts();
        auto r = accounts.record(static_cast<std::size_t>(accounts.findFree()));
        r.set(server::AccountRecord::state, state);
        r.set(server::AccountRecord::userName, name);
        r.set(server::AccountRecord::password, scramble::scramble(password));
    }

    // A group of members and member files, saved as the group dialog does.
    void addGroup(const std::string& name, const std::vector<std::string>& members,
                  const std::vector<std::string>& paths, int state = server::StateEnabled) {
        server::GroupTable& groups = server->groups();
        const auto index = static_cast<std::size_t>(groups.findFree());
        auto g = groups.record(index);
        g.set(server::GroupRecord::state, state);
        g.set(server::GroupRecord::name, name);
        for (std::size_t k = 0; k < members.size(); ++k) {
            g.set(server::GroupRecord::members.at(k), members[k]);
        }
        for (std::size_t k = 0; k < paths.size(); ++k) {
            groups.fileEntry(index, k).set(server::FileEntry::path, paths[k]);
        }
        ASSERT_TRUE(server->saveGroups());
    }

    // A member file under docs/ with this content; returns its full path.
    std::string memberFile(const std::string& name, const std::string& content) {
        const std::string path = dir.file("docs/" + name);
        writeAll(path, content);
        return path;
    }

    // The holder of path in the group table as Groups.zelt holds it ("" when free).
    std::string holderOnDisk(const std::string& path) const {
        const auto table = server::Store::readGroups(server->paths());
        const server::GroupTable& groups = *table;
        for (std::size_t g = 0; g < groups.capacity(); ++g) {
            for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
                const auto e = groups.fileEntry(g, k);
                if (e.get(server::FileEntry::path) != path) continue;
                return e.get(server::FileEntry::checkedOut) == 1 ? e.get(server::FileEntry::holder)
                                                                 : "";
            }
        }
        return "<absent>";
    }

    // The administrator voids a check-out: the marks go from every group, the table is saved,
    // and the holder's client is told.
    void adminVoid(const std::string& path) {
        std::string holder;
        server::GroupTable& groups = server->groups();
        for (std::size_t g = 0; g < groups.capacity(); ++g) {
            for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
                auto e = groups.fileEntry(g, k);
                if (e.get(server::FileEntry::path) != path ||
                    e.get(server::FileEntry::checkedOut) != 1) {
                    continue;
                }
                holder = e.get(server::FileEntry::holder);
                e.set(server::FileEntry::checkedOut, 0);
                e.set(server::FileEntry::holder, "");
                e.set(server::FileEntry::checkOutTime, "");
            }
        }
        ASSERT_FALSE(holder.empty()) << path << " was not checked out";
        ASSERT_TRUE(server->saveGroups());
        server->repository().sendCheckOutVoided(holder, path);
        reactor.drain();
    }

    // The details of the latest kept version of path: its user name and comment.
    std::pair<std::string, std::string> latestDetails(const std::string& path) {
        const server::DetailBytes d = server->repository().versions().latestDetails(path);
        const proto::ConstView v{d};
        return {v.get(proto::DetailRecord::userName), v.get(proto::DetailRecord::comment)};
    }

    // Files left in the server's Temp folder.
    std::vector<std::string> serverTemp() const { return files::listFiles(server->paths().temp); }

    // --- the clients ------------------------------------------------------------------------

    // The desk of a user, made on first use with its folders under the test's directory.
    Desk& desk(const std::string& user) {
        auto& d = desks[user];
        if (!d) {
            d = std::make_unique<Desk>();
            d->dataDir = dir.file(user + "-data");
            d->userDir = dir.file(user + "-user");
            EXPECT_NE(files::createFolder(d->dataDir), files::FolderResult::Failed);
        }
        return *d;
    }

    LoginForm loginAs(const std::string& user, const std::string& password = "secret") const {
        LoginForm form;
        form.userName = user;
        form.password = password;
        form.address = {127, 0, 0, 1};
        form.port = std::to_string(server->listeningPort());
        return form;
    }

    // Starts the user's client program; its start-up opens the Log-in dialog, which answers
    // from the desk's script.
    void startClient(Desk& d) {
        client::ClientOptions options;
        options.places.dataDirectory = d.dataDir;
        options.places.userFolder = d.userDir;
        options.shellOpen = [&d](const std::string& target) {
            d.opened.push_back(target);
            return 42;
        };
        d.core = std::make_unique<ClientCore>(reactor, d.ui, options);
        d.core->addFlowObserver(&d.flows);
        ASSERT_TRUE(d.core->start());
        reactor.advance(ClientCore::kStartUpDelay);
    }

    // Starts the user's client and logs in; the group list and the notice have arrived.
    Desk& logIn(const std::string& user, const std::string& password = "secret") {
        Desk& d = desk(user);
        d.ui.logins.push_back(loginAs(user, password));
        startClient(d);
        reactor.advance(ClientCore::kNoticeDelay);
        EXPECT_TRUE(d.connected()) << user;
        return d;
    }

    // Double-clicks the group's line in the console, as the user opens a group.
    void openGroup(Desk& d, const std::string& group) {
        const auto& lines = d.core->console().lines();
        for (std::size_t i = lines.size(); i-- > 0;) {
            if (lines[i].text == group && lines[i].tag == client::tag::GroupFiles) {
                d.core->executeLine(static_cast<int>(i));
                reactor.drain();
                return;
            }
        }
        ADD_FAILURE() << "no line for group " << group;
    }

    // Selects the rows of the Available Files window whose paths are given, and checks out.
    void checkOut(Desk& d, const std::vector<std::string>& paths) {
        d.core->selectAvailableFiles(rowsOf(d.ui.available.rows, paths));
        d.core->checkOutSelected();
        reactor.drain();
    }

    // Selects the rows of the Working Files window whose paths are given.
    void selectWorking(Desk& d, const std::vector<std::string>& paths) {
        d.core->selectWorkingFiles(rowsOf(d.ui.working.rows, paths));
    }
    void fetch(Desk& d, const std::vector<std::string>& paths) {
        selectWorking(d, paths);
        d.core->fetchSelected();
        reactor.drain();
    }
    void checkIn(Desk& d, const std::vector<std::string>& paths) {
        selectWorking(d, paths);
        d.core->checkInSelected();
        reactor.drain();
    }

    template <class Row>
    static std::vector<int> rowsOf(const std::vector<Row>& rows,
                                   const std::vector<std::string>& paths) {
        std::vector<int> out;
        for (const std::string& path : paths) {
            bool found = false;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                if (rows[i].path == path) {
                    out.push_back(static_cast<int>(i));
                    found = true;
                }
            }
            EXPECT_TRUE(found) << "no row for " << path;
        }
        return out;
    }

    static std::vector<std::string> pathsOf(const client::WorkingFilesModel& model) {
        std::vector<std::string> out;
        for (const auto& row : model.rows) out.push_back(row.path);
        return out;
    }

    static std::string quoted(const std::string& text) { return "'" + text + "'"; }

    // Bytes that no text handling would leave alone: every byte value, NULs and line ends.
    static std::string binary(std::size_t size, unsigned seed) {
        std::string s(size, '\0');
        unsigned x = seed * 2654435761u + 1;
        for (char& c : s) {
            x = x * 1103515245u + 12345u;
            c = static_cast<char>((x >> 16) & 0xFF);
        }
        return s;
    }

    zelt::test::TempDir dir;
    ManualReactor reactor;
    Console serverConsole{reactor.clock()};
    server::test::ScriptedUi serverUi;
    std::size_t connectionCapacity = MaxConnections;
    bool offerPipelining = true;  // false: the server of the older kind, lock-step only
    std::unique_ptr<Server> server;
    std::map<std::string, std::unique_ptr<Desk>> desks;
};

}  // namespace zelt::integration
