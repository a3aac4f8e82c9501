#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "client/core/client.h"
#include "common/platform/files.h"
#include "common/platform/poll_reactor.h"
#include "tests/client/fake_ui.h"
#include "tests/client/scripted_server.h"
#include "tests/support/console_lines.h"
#include "tests/support/temp_dir.h"

namespace zelt::client::test {

// A client core on a manual reactor with its folders in a fresh temporary directory, its
// windows scripted by FakeUi and its server played by ScriptedServer.
class ClientTest : public ::testing::Test {
protected:
    ClientTest() : server(reactor) {
        EXPECT_NE(files::createFolder(dataDir()), files::FolderResult::Failed);
    }

    std::string dataDir() const { return dir.file("data"); }
    std::string userDir() const { return dir.file("user"); }
    std::string working() const { return userDir() + "/Working"; }
    std::string working(const std::string& name) const { return working() + "/" + name; }
    std::string backup(const std::string& name) const { return userDir() + "/Backup/" + name; }
    std::string temp() const { return userDir() + "/Temp"; }

    LoginForm loginAs(const std::string& user, const std::string& password = "secret") const {
        LoginForm form;
        form.userName = user;
        form.password = password;
        form.address = {127, 0, 0, 1};
        form.port = std::to_string(server.port());
        return form;
    }

    // Starts the client; the start-up opens the Log-in dialog, answered from the script.
    void startClient() {
        ClientOptions options;
        options.places.dataDirectory = dataDir();
        options.places.userFolder = userDir();
        options.shellOpen = [this](const std::string& target) {
            opened.push_back(target);
            return shellResult;
        };
        core = std::make_unique<ClientCore>(reactor, ui, options);
        core->addFlowObserver(&flows);
        ASSERT_TRUE(core->start());
        reactor.advance(ClientCore::kStartUpDelay);
        reactor.drain();
    }

    // Starts the client and logs in; the group list and the notice have been answered.
    void logIn(const std::string& user = "anna") {
        ui.logins.push_back(loginAs(user));
        startClient();
        reactor.advance(ClientCore::kNoticeDelay);
        ASSERT_EQ(core->connectionState(), ConnectionState::Connected);
    }

    // Lines appended since the mark.
    std::vector<std::string> linesSince(std::size_t mark) const {
        return zelt::test::lineTextsSince(core->console(), mark);
    }
    std::size_t mark() const { return core->console().size(); }
    const ConsoleLine& lastLine() const { return core->console().lines().back(); }
    bool hasLine(const std::string& text) const {
        return zelt::test::hasLine(core->console(), text);
    }
    // The kind of the last line with this text.
    LineKind kindOf(const std::string& text) const {
        return zelt::test::kindOfLast(core->console(), text);
    }

    zelt::test::TempDir dir;
    ManualReactor reactor;
    FakeUi ui;
    FlowLog flows;
    ScriptedServer server;
    std::vector<std::string> opened;  // what the client asked the desktop to open
    int shellResult = 42;
    std::unique_ptr<ClientCore> core;
};

}  // namespace zelt::client::test
