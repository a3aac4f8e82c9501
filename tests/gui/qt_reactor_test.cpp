// The Qt reactor: the contract every reactor keeps, and the reason it exists: a modal dialog's
// own event loop goes on serving the server and the client while the dialog is open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

#include <memory>
#include <string>

#include "client/core/client.h"
#include "client/core/ui/texts.h"
#include "common/gui/qt_reactor.h"
#include "common/scramble/scramble.h"
#include "server/core/server.h"
#include "tests/client/fake_ui.h"
#include "tests/server/scripted_ui.h"
#include "tests/support/reactor_contract.h"
#include "tests/support/temp_dir.h"

namespace zelt {
namespace {

// Real time passes while Qt's event loop runs.
struct QtHarness {
    gui::QtReactor qt;
    Reactor& reactor() { return qt; }
    bool runUntil(const std::function<bool()>& done, Millis realTimeout) {
        return QTest::qWaitFor(done, static_cast<int>(realTimeout));
    }
    void pass(Millis ms) { QTest::qWait(static_cast<int>(ms)); }
};

}  // namespace

namespace contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Qt, ReactorContract, ::testing::Types<QtHarness>);
}  // namespace contract

namespace {

TEST(QtReactorUnderACore, AModalDialogKeepsTheServerAnsweringAClientThatPagesThroughAFileList) {
    test::TempDir dir;
    gui::QtReactor reactor;

    Console serverConsole{reactor.clock()};
    server::test::ScriptedUi serverUi;
    server::ServerOptions serverOptions;
    serverOptions.dataDir = dir.file("server");
    serverOptions.listenPort = 0;
    server::Server server(reactor, serverConsole, serverUi, serverOptions);
    server.launch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.listening(); }, 5000));

    // anna belongs to a group of twelve files, which the server lists five at a time.
    server::AccountTable& accounts = server.accounts();
    auto anna = accounts.record(static_cast<std::size_t>(accounts.findFree()));
    anna.set(server::AccountRecord::state, server::StateEnabled);
    anna.set(server::AccountRecord::userName, "anna");
    anna.set(server::AccountRecord::password, scramble::scramble("secret"));
    ASSERT_TRUE(server.saveAccounts());
    server::GroupTable& groups = server.groups();
    const auto g = static_cast<std::size_t>(groups.findFree());
    groups.record(g).set(server::GroupRecord::state, server::StateEnabled);
    groups.record(g).set(server::GroupRecord::name, "Design");
    groups.record(g).set(server::GroupRecord::members.at(0), "anna");
    constexpr std::size_t kFiles = 12;
    for (std::size_t k = 0; k < kFiles; ++k) {
        groups.fileEntry(g, k).set(server::FileEntry::path,
                                   dir.file("docs/drawing" + std::to_string(k) + ".txt"));
    }
    ASSERT_TRUE(server.saveGroups());

    client::test::FakeUi clientUi;
    client::LoginForm login;
    login.userName = "anna";
    login.password = "secret";
    login.address = {127, 0, 0, 1};
    login.port = std::to_string(server.listeningPort());
    clientUi.logins.push_back(login);
    client::ClientOptions clientOptions;
    clientOptions.places.dataDirectory = dir.file("client-data");
    clientOptions.places.userFolder = dir.file("client-user");
    clientOptions.shellOpen = [](const std::string&) { return 42; };
    client::ClientCore client(reactor, clientUi, clientOptions);

    // The dialog opens from work the reactor deferred, as a dialog the administrator opens
    // from a console line does; everything else happens while it is open, including work
    // deferred meanwhile (the server defers its saves and the answers held for them).
    QDialog dialog;
    bool groupOpened = false;
    bool listedWhileModal = false;
    bool deferredRan = false;
    QTimer watch;
    int owner = 0;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!groupOpened) {
            const auto& lines = client.console().lines();
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (lines[i].text == "Design" && lines[i].tag == client::tag::GroupFiles) {
                    groupOpened = client.executeLine(static_cast<int>(i));
                }
            }
        } else if (clientUi.available.rows.size() == kFiles && !listedWhileModal) {
            listedWhileModal = QApplication::activeModalWidget() == &dialog;
            reactor.defer(&owner, [&] {
                deferredRan = dialog.isVisible();
                dialog.accept();
            });
        }
    });
    bool closed = false;
    bool started = false;
    reactor.startTimer(&owner, 1, 0, TimerMode::OneShot, [&] {
        reactor.defer(&owner, [&] {
            started = static_cast<bool>(client.start());
            watch.start(5);
            QTimer::singleShot(15000, &dialog, &QDialog::reject);
            dialog.exec();
            closed = true;
        });
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed; }, 20000));

    EXPECT_TRUE(started);
    EXPECT_TRUE(groupOpened);
    EXPECT_EQ(client.connectionState(), client::ConnectionState::Connected);
    ASSERT_EQ(clientUi.available.rows.size(), kFiles);
    EXPECT_EQ(clientUi.available.rows.back().path, dir.file("docs/drawing11.txt"));
    EXPECT_TRUE(listedWhileModal);
    EXPECT_TRUE(deferredRan);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace zelt
