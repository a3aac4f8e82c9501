#include <gtest/gtest.h>

#include "tests/server/server_fixture.h"

namespace zelt::server::test {
namespace {

using proto::Opcode;
using proto::Packet;

class MessagingTest : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        addAccount("anna");
        addAccount("Bob");
        addAccount("carol");
        addAccount("dave");  // never logs in
        addGroup("Team", {"anna", "bob", "carol", "dave"});
        anna = logIn("anna");
        bob = logIn("bob");
        carol = logIn("carol");
    }

    // Sends a message from a peer and returns the count it is told.
    int send(TestPeer& from, const std::string& recipients, const std::string& text = "hello",
             std::int32_t important = 0, const std::string& claimedSender = "") {
        Packet request(Opcode::ReqSendMessage);
        request.set(proto::ReqSendMessage::sender, claimedSender);
        request.set(proto::ReqSendMessage::recipients, recipients);
        request.set(proto::ReqSendMessage::text, text);
        request.set(proto::ReqSendMessage::important, important);
        from.send(request);
        const Packet reply = from.expect(Opcode::RepSendMessage);
        EXPECT_EQ(reply.size(), 6u);
        return reply.get(proto::RepSendMessage::count);
    }

    // The messages a peer received: "sender:text".
    std::vector<std::string> received(TestPeer& peer) {
        peer.quiet(20);
        std::vector<std::string> out;
        for (const auto& bytes : peer.inbox()) {
            const Packet p = Packet::received(bytes, bytes.size());
            if (p.opcode() != Opcode::PushMessage) continue;
            out.push_back(p.get(proto::PushMessage::sender) + ":" + p.get(proto::PushMessage::text));
        }
        peer.inbox().clear();
        return out;
    }

    std::unique_ptr<TestPeer> anna, bob, carol;
};

TEST_F(MessagingTest, NamesAreServedOnceAndFoundWithoutRegardToCase) {
    EXPECT_EQ(send(*anna, "bob;bob"), 1);
    EXPECT_EQ(received(*bob), std::vector<std::string>{"anna:hello"});
    EXPECT_EQ(send(*anna, "BOB;Carol;;nobody;dave;"), 2);
    EXPECT_EQ(received(*bob).size(), 1u);
    EXPECT_EQ(received(*carol).size(), 1u);
    EXPECT_EQ(send(*anna, "anna"), 0);  // nobody receives his own message
    EXPECT_TRUE(received(*anna).empty());
}

TEST_F(MessagingTest, GroupsReachTheirLoggedInMembersButTheSender) {
    EXPECT_EQ(send(*anna, "@team"), 2);
    EXPECT_EQ(received(*bob).size(), 1u);
    EXPECT_EQ(received(*carol).size(), 1u);
    EXPECT_TRUE(received(*anna).empty());
    // A name and the group are different tokens: bob gets it twice and counts twice.
    EXPECT_EQ(send(*anna, "Bob;@Team"), 3);
    EXPECT_EQ(received(*bob).size(), 2u);
    EXPECT_EQ(send(*anna, "@nosuchgroup"), 0);
}

TEST_F(MessagingTest, EveryoneMeansEveryOtherUserPlusTheConsole) {
    const std::size_t mark = console.size();
    EXPECT_EQ(send(*anna, "bob;@<ALL>", "hi all", 1), 3);
    EXPECT_EQ(received(*bob), std::vector<std::string>{"anna:hi all"});
    EXPECT_EQ(received(*carol).size(), 1u);
    EXPECT_TRUE(received(*anna).empty());
    ASSERT_EQ(linesSince(mark), std::vector<std::string>{"<anna> \"hi all\""});
    EXPECT_EQ(console.lines().back().tag, "REPLYMSG");
    EXPECT_EQ(console.lines().back().kind, LineKind::Function);
    EXPECT_EQ(ui.alerts, 1);
    EXPECT_EQ(ui.notifications, std::vector<std::string>{"<anna> \"hi all\""});
}

TEST_F(MessagingTest, ATokenOfThirtyOneCharactersEndsTheList) {
    const std::string thirty(30, 'x');
    EXPECT_EQ(send(*anna, "bob;" + thirty + ";carol"), 2);
    EXPECT_EQ(send(*anna, "bob;" + thirty + "y;carol"), 1);
    EXPECT_TRUE(received(*carol).size() == 1u);
}

TEST_F(MessagingTest, TheSenderIsTheLoggedInAccountWhateverThePacketSays) {
    const std::size_t mark = console.size();
    EXPECT_EQ(send(*anna, "bob;admin", "trust me", 0, "admin"), 2);
    EXPECT_EQ(received(*bob), std::vector<std::string>{"anna:trust me"});
    EXPECT_EQ(linesSince(mark), std::vector<std::string>{"<anna> \"trust me\""});
    EXPECT_EQ(ui.alerts, 0);  // not marked important
    // Posing as another user does not work either.
    EXPECT_EQ(send(*anna, "carol", "x", 0, "bob"), 1);
    EXPECT_EQ(received(*carol), std::vector<std::string>{"anna:x"});
}

TEST_F(MessagingTest, TheAdministratorsMessagesAreCountedOnTheConsole) {
    std::size_t mark = console.size();
    server->messages().sendAdminMessage("@team", "Lunch", true);
    EXPECT_EQ(linesSince(mark), std::vector<std::string>{"Message sent to 3 user(s)."});
    EXPECT_EQ(received(*anna), std::vector<std::string>{"admin:Lunch"});
    anna->quiet(20);
    mark = console.size();
    server->messages().sendAdminMessage("@<all>", "Bye", false);
    EXPECT_EQ(linesSince(mark),
              (std::vector<std::string>{"<admin> \"Bye\"", "Message sent to 4 user(s)."}));
}

TEST_F(MessagingTest, ASenderPastItsBurstWaitsItsTurnWhileOthersGoOnAtOnce) {
    // Lines on the console from anna's messages to the administrator.
    auto fromAnna = [&](std::size_t mark) {
        std::size_t n = 0;
        for (const std::string& line : linesSince(mark)) n += line.rfind("<anna>", 0) == 0;
        return n;
    };
    const std::size_t mark = console.size();
    std::vector<std::uint8_t> flood;
    for (int i = 0; i < 30; ++i) {
        Packet request(Opcode::ReqSendMessage);
        request.set(proto::ReqSendMessage::recipients, "admin");
        request.set(proto::ReqSendMessage::text, "spam " + std::to_string(i));
        flood.insert(flood.end(), request.bytes().begin(), request.bytes().end());
    }
    anna->sendRaw(flood);
    anna->quiet(100);
    const std::size_t burst = static_cast<std::size_t>(MessageRelay::MessageBurst) + 1;
    EXPECT_EQ(fromAnna(mark), burst);
    // Another user is not held up by it.
    EXPECT_EQ(send(*bob, "admin", "still here"), 1);
    // Then one every interval.
    reactor.advance(5 * MessageRelay::MessageInterval);
    anna->quiet(20);
    EXPECT_EQ(fromAnna(mark), burst + 5);
    reactor.advance(5 * MessageRelay::MessageInterval);
    anna->quiet(20);
    EXPECT_EQ(fromAnna(mark), 30u);
}

TEST_F(MessagingTest, ImportantFlagTravelsWithThePush) {
    send(*anna, "bob", "urgent", 1);
    bob->quiet(20);
    ASSERT_FALSE(bob->inbox().empty());
    const auto& bytes = bob->inbox().front();
    const Packet p = Packet::received(bytes, bytes.size());
    EXPECT_EQ(p.size(), 1082u);
    EXPECT_EQ(p.get(proto::PushMessage::important), 1);
}

}  // namespace
}  // namespace zelt::server::test
