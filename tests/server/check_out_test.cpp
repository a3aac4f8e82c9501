#include <filesystem>

#include "common/platform/tcp.h"

#include "tests/server/repository_fixture.h"

namespace zelt::server::test {
namespace {

class CheckOutTest : public RepositoryFixture {};

TEST_F(CheckOutTest, OneCheckOutLocksTheFileInEveryEnabledGroupAndIsOnDiskBeforeTheReply) {
    const std::string plan = memberFile("plan.doc", "x");
    const int a = addGroup("alpha", {"anna"}, {dir.file("docs/other"), plan});
    const int b = addGroup("beta", {"bob"}, {plan});
    const int off = addGroup("off", {"anna"}, {plan}, StateDisabled);
    auto anna = logIn("anna");

    const Packet granted = checkOut(*anna, plan);
    EXPECT_EQ(granted.get(proto::RepCheckOut::status), proto::RepCheckOut::kCheckedOut);
    EXPECT_EQ(granted.get(proto::RepCheckOut::path), plan);
    EXPECT_EQ(granted.get(proto::RepCheckOut::reason), "");
    auto disk = groupsOnDisk();  // read as soon as the reply is in
    EXPECT_EQ(holderIn(*disk, a, plan), "anna");
    EXPECT_EQ(holderIn(*disk, b, plan), "anna");  // anna is no member of beta: same file
    EXPECT_EQ(holderIn(*disk, off, plan), "");
    EXPECT_EQ(disk->fileEntry(b, 0).get(FileEntry::checkOutTime), "2007/04/28 [16:05]");

    // The holder asking again is refused like anyone, with its own name.
    const Packet again = checkOut(*anna, plan);
    EXPECT_EQ(again.get(proto::RepCheckOut::status), proto::RepCheckOut::kRefused);
    EXPECT_EQ(again.get(proto::RepCheckOut::reason),
              "Already checked-out by 'anna' at 2007/04/28 [16:05].");

    voidCheckOut(*anna, plan);
    disk = groupsOnDisk();
    EXPECT_EQ(holderIn(*disk, a, plan), "");
    EXPECT_EQ(holderIn(*disk, b, plan), "");
}

TEST_F(CheckOutTest, AnswersComeInTheOrderOfTheRequestsWhileACheckOutWaitsForTheDisk) {
    const std::string plan = memberFile("plan.doc", "x");
    addGroup("alpha", {"anna"}, {plan});
    auto anna = logIn("anna");
    Packet list(Opcode::ReqGroupList);
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        // The change of the mark is answered only once it is on disk; the keep-alive and the
        // list behind it, answerable at once, must not overtake it.
        Packet change(i % 2 == 0 ? Opcode::ReqCheckOut : Opcode::ReqVoidCheckOut);
        change.set(proto::ReqCheckOut::path, plan);
        anna->send(change);
        anna->send(Packet(Opcode::ReqKeepAlive));
        anna->send(list);
        const Packet first = anna->expect(i % 2 == 0 ? Opcode::RepCheckOut
                                                     : Opcode::RepVoidCheckOut);
        if (i % 2 == 0) {
            EXPECT_EQ(first.get(proto::RepCheckOut::status), proto::RepCheckOut::kCheckedOut);
        }
        anna->expect(Opcode::RepKeepAlive);
        anna->expect(Opcode::RepGroupList);
    }
}

TEST_F(CheckOutTest, OfTwoUsersRacingForOneFileExactlyOneWins) {
    const std::string plan = memberFile("plan.doc", "x");
    addGroup("alpha", {"anna", "bob"}, {plan});
    auto anna = logIn("anna");
    auto bob = logIn("bob");
    Packet request(Opcode::ReqCheckOut);
    request.set(proto::ReqCheckOut::path, plan);
    anna->send(request);  // both requests are on the wire before the server looks
    bob->send(request);
    const Packet toAnna = anna->expect(Opcode::RepCheckOut);
    const Packet toBob = bob->expect(Opcode::RepCheckOut);
    const bool annaWon = toAnna.get(proto::RepCheckOut::status) == proto::RepCheckOut::kCheckedOut;
    const Packet& loser = annaWon ? toBob : toAnna;
    EXPECT_EQ(loser.get(proto::RepCheckOut::status), proto::RepCheckOut::kRefused);
    EXPECT_EQ(loser.get(proto::RepCheckOut::reason), std::string("Already checked-out by '") +
                                                         (annaWon ? "anna" : "bob") +
                                                         "' at 2007/04/28 [16:05].");
    EXPECT_EQ(holderIn(*groupsOnDisk(), 0, plan), annaWon ? "anna" : "bob");
}

TEST_F(CheckOutTest, ACheckOutIsAllOrNothingAndNeedsAMember) {
    const std::string plan = memberFile("plan.doc", "x");
    const std::string hidden = memberFile("hidden.doc", "x");
    const int a = addGroup("alpha", {"anna"}, {plan});
    const int b = addGroup("beta", {"anna"}, {plan});
    addGroup("gamma", {"bob"}, {hidden});
    addGroup("off", {"anna"}, {hidden}, StateDisabled);
    // The entries disagree, as after the administrator edited a group: beta's is held.
    auto held = server->groups().fileEntry(b, 0);
    held.set(FileEntry::checkedOut, 1);
    held.set(FileEntry::holder, "bob");
    held.set(FileEntry::checkOutTime, "2007/04/27 [09:00]");
    auto anna = logIn("anna");

    Packet r = checkOut(*anna, plan);
    EXPECT_EQ(r.get(proto::RepCheckOut::reason),
              "Already checked-out by 'bob' at 2007/04/27 [09:00].");
    EXPECT_EQ(holderIn(server->groups(), a, plan), "");  // alpha's free entry was not taken
    for (const std::string& path : {hidden, dir.file("docs/none"), std::string()}) {
        r = checkOut(*anna, path);  // only in bob's group and a disabled one; in no group; empty
        EXPECT_EQ(r.get(proto::RepCheckOut::status), proto::RepCheckOut::kRefused);
        EXPECT_EQ(r.get(proto::RepCheckOut::reason), "File not found.");
    }
    EXPECT_EQ(holderIn(server->groups(), 2, hidden), "");
}

TEST_F(CheckOutTest, AVoidGivesUpOnlyTheRequestersOwnLock) {
    const std::string plan = memberFile("plan.doc", "x");
    addGroup("alpha", {"anna", "bob"}, {plan});
    auto anna = logIn("anna");
    auto bob = logIn("bob");
    checkOut(*anna, plan);
    const Packet reply = voidCheckOut(*bob, plan);  // answered all the same
    EXPECT_EQ(reply.get(proto::RepVoidCheckOut::path), plan);
    EXPECT_EQ(holderIn(*groupsOnDisk(), 0, plan), "anna");
    voidCheckOut(*anna, plan);
    EXPECT_EQ(holderIn(*groupsOnDisk(), 0, plan), "");
    EXPECT_EQ(checkOut(*bob, plan).get(proto::RepCheckOut::status),
              proto::RepCheckOut::kCheckedOut);
}

TEST_F(CheckOutTest, ACheckOutThatCannotBeSavedIsRefusedAndTakenBack) {
    const std::string plan = memberFile("plan.doc", "x");
    addGroup("alpha", {"anna"}, {plan});
    auto anna = logIn("anna");
    // A folder where the table file should be: the atomic save cannot rename over it.
    std::filesystem::remove(server->paths().groups);
    EXPECT_NE(files::createFolder(server->paths().groups), files::FolderResult::Failed);
    // And one where the journal's next file should be.
    EXPECT_NE(files::createFolder(server->store().groupJournal().segmentPath()),
              files::FolderResult::Failed);
    const std::size_t mark = console.size();
    const Packet r = checkOut(*anna, plan);
    EXPECT_EQ(r.get(proto::RepCheckOut::status), proto::RepCheckOut::kRefused);
    EXPECT_EQ(r.get(proto::RepCheckOut::reason), "The server could not save the check-out.");
    EXPECT_EQ(holderIn(server->groups(), 0, plan), "");
    EXPECT_EQ(linesSince(mark),
              std::vector<std::string>{"Failed to save the group table (Groups.zelt)."});
}

TEST_F(CheckOutTest, AnAnswerHeldForTheSaveNeverReachesTheNextConnectionOfItsSlot) {
    const std::string plan = memberFile("plan.doc", "x");
    addGroup("alpha", {"anna"}, {plan});
    auto anna = logIn("anna");
    const ConnectionId asked = server->slots().idOf(0);
    Packet request(Opcode::ReqCheckOut);
    request.set(proto::ReqCheckOut::path, plan);
    // The request arrives; its answer waits for the save at the end of this turn. Before the
    // turn ends, anna's connection goes and a newcomer's takes the same slot.
    server->onPacket(asked, request.bytes());
    server->slots().free(asked);
    Handle ends[2];
    ASSERT_TRUE(tcp::socketPair(ends));
    const ConnectionId taken = server->slots().adopt(ends[0]);
    ASSERT_EQ(taken.slot, asked.slot);
    TestPeer newcomer(reactor, ends[1], proto::Receiver::Client);

    EXPECT_TRUE(newcomer.quiet());
    EXPECT_TRUE(anna->waitClosed());
    // The lock itself was taken and saved, for anna to find when she logs in again.
    EXPECT_EQ(holderIn(*groupsOnDisk(), 0, plan), "anna");
}

TEST_F(CheckOutTest, FilePropertiesAnswerMembersOnlyWithHolderAndLatestDetails) {
    const std::string plan = memberFile("plan.doc", "x");
    addGroup("alpha", {"anna", "bob"}, {plan});
    addGroup("off", {"anna"}, {plan}, StateDisabled);
    addGroup("beta", {"bob"}, {plan});
    auto anna = logIn("anna");
    checkOut(*anna, plan);
    auto ask = [&](const std::string& group, const std::string& path) {
        Packet p(Opcode::ReqFileProperties);
        p.set(proto::ReqFileProperties::groupName, group);
        p.set(proto::ReqFileProperties::path, path);
        anna->send(p);
        return anna->receive(300);
    };

    auto r = ask("ALPHA", plan);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 2028u);
    EXPECT_EQ(r->get(proto::RepFileProperties::groupName), "ALPHA");
    EXPECT_EQ(r->get(proto::RepFileProperties::holder), "anna");
    EXPECT_EQ(r->get(proto::RepFileProperties::checkOutTime), "2007/04/28 [16:05]");
    for (const std::uint8_t b : r->get(proto::RepFileProperties::details)) ASSERT_EQ(b, 0);

    EXPECT_NE(files::createFolder(versions().folderOf(plan)), files::FolderResult::Failed);
    versions().writeDetails(plan, "20070101000000000", "bob", "older");
    versions().writeDetails(plan, "20070202000000000", "anna", "newest");
    r = ask("off", plan);  // a disabled group still answers its members
    ASSERT_TRUE(r);
    EXPECT_EQ(r->get(proto::RepFileProperties::holder), "");  // its own entry is free
    const proto::ConstView details{r->get(proto::RepFileProperties::details)};
    EXPECT_EQ(details.get(proto::DetailRecord::comment), "newest");

    EXPECT_FALSE(ask("beta", plan));  // not a member
    EXPECT_FALSE(ask("alpha", dir.file("docs/none")));
    EXPECT_FALSE(ask("nowhere", plan));
    EXPECT_FALSE(ask("", plan));
}

TEST_F(CheckOutTest, AShortRequestReadsAsZeros) {
    const std::string plan = memberFile("plan.doc", "x");
    addGroup("alpha", {"anna"}, {plan});
    auto anna = logIn("anna");
    Packet request(Opcode::ReqCheckOut);
    request.set(proto::ReqCheckOut::tag, 1);
    request.set(proto::ReqCheckOut::path, plan);
    // Cut right after the path's last character: the missing NUL and the rest read as zeros.
    anna->sendRaw(request.bytes().first(proto::ReqCheckOut::path.offset + plan.size()));
    reactor.advance(proto::Connection::ShortPacketWait);
    const Packet r = anna->expect(Opcode::RepCheckOut);
    EXPECT_EQ(r.get(proto::RepCheckOut::status), proto::RepCheckOut::kCheckedOut);
    EXPECT_EQ(r.get(proto::RepCheckOut::path), plan);
}

TEST_F(CheckOutTest, RetentionChoicesAreWrittenToBackupZelt) {
    auto& repository = server->settingsAdmin();
    EXPECT_EQ(repository.retentionChoiceIndex(), 0);
    const std::size_t mark = console.size();
    EXPECT_TRUE(repository.setRetentionFromChoice(2));
    EXPECT_EQ(server->retentionCount(), 20);
    EXPECT_EQ(readRetentionCount(server->paths().backup), 20);
    EXPECT_TRUE(repository.setRetentionFromChoice(-1));  // nothing selected: the count stays
    EXPECT_EQ(readRetentionCount(server->paths().backup), 20);
    EXPECT_EQ(repository.retentionChoiceIndex(), 2);
    EXPECT_EQ(linesSince(mark), (std::vector<std::string>{"Backup properties changed.",
                                                          "Backup properties changed."}));
}

}  // namespace
}  // namespace zelt::server::test
