#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "client/core/ui/texts.h"
#include "common/protocol/layouts.h"
#include "tests/client/client_fixture.h"

namespace zelt::client::test {
namespace {

using proto::Opcode;
using proto::Packet;
using ::testing::ElementsAre;

std::string bytesOf(std::size_t size, int seed) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 31 + seed * 7) % 251);
    return s;
}

class TransferTest : public ClientTest {
protected:
    // Logs in as anna with one group whose files are the given paths.
    void logInWithGroup(const std::vector<std::string>& paths) {
        server.groups = {"Team"};
        server.groupFiles["Team"] = paths;
        logIn("anna");
    }

    void openGroup(const std::string& group = "Team") {
        core->console().function(group, "GRPFLIST");
        core->executeLine(static_cast<int>(core->console().size() - 1));
        reactor.drain();
    }

    // Checks out the listed rows of the Available Files window.
    void checkOut(std::vector<int> rows) {
        core->selectAvailableFiles(std::move(rows));
        core->checkOutSelected();
        reactor.drain();
    }

    void fetchAll() {
        std::vector<int> rows;
        for (std::size_t i = 0; i < ui.working.rows.size(); ++i)
            rows.push_back(static_cast<int>(i));
        core->selectWorkingFiles(rows);
        core->fetchSelected();
        reactor.drain();
    }

    std::vector<std::int64_t> fetchOffsets() const {
        std::vector<std::int64_t> out;
        for (const Packet& p : server.receivedOf(Opcode::ReqFetchChunk)) {
            out.push_back(p.get(proto::ReqFetchChunk::offset));
        }
        return out;
    }

    std::string chkout() const { return dataDir() + "/Chkout.zelt"; }
};

TEST_F(TransferTest, AGroupOfTwelveFilesArrivesInThreePages) {
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i) paths.push_back("C:\\docs\\f" + std::to_string(i) + ".txt");
    logInWithGroup(paths);
    server.holders["C:\\docs\\f3.txt"] = "bob";
    const std::size_t at = mark();
    openGroup();
    std::vector<int> starts;
    for (const Packet& p : server.receivedOf(Opcode::ReqFileList)) {
        starts.push_back(p.get(proto::ReqFileList::start));
    }
    EXPECT_THAT(starts, ElementsAre(0, 5, 10));
    EXPECT_THAT(linesSince(at),
                ElementsAre("Team", "Requesting file list of group 'Team'...", "Received."));
    ASSERT_EQ(ui.available.rows.size(), 12u);
    EXPECT_TRUE(ui.available.visible);
    EXPECT_EQ(ui.available.countLabel, "12 files");
    EXPECT_EQ(ui.available.groupLabel, "Team");
    EXPECT_EQ(ui.available.rows[3].holder, "bob");
    EXPECT_EQ(ui.available.rows[3].icon, IconHeld);
    EXPECT_EQ(ui.available.rows[4].icon, IconFree);

    core->selectAvailableFiles({1, 2});
    EXPECT_TRUE(ui.available.buttons.checkOut);
    EXPECT_FALSE(ui.available.buttons.properties);

    server.groupFiles["Solo"] = {"C:\\docs\\one.txt"};
    openGroup("Solo");
    EXPECT_EQ(ui.available.countLabel, "1 file");
    openGroup("Empty");
    EXPECT_EQ(ui.available.countLabel, "0 file");
    EXPECT_TRUE(ui.available.rows.empty());
}

TEST_F(TransferTest, PagesBeyondFiveHundredEntriesAreNeitherStoredNorAskedFor) {
    logInWithGroup({});
    // A server that always claims more.
    server.intercept = [this](const Packet& p) {
        if (p.opcode() != Opcode::ReqFileList) return false;
        Packet r(Opcode::RepFileList);
        r.set(proto::RepFileList::groupName, "Team");
        r.set(proto::RepFileList::more, 1);
        r.set(proto::RepFileList::count, 5);
        for (std::size_t k = 0; k < 5; ++k) {
            r.set(
                proto::RepFileList::path.at(k),
                "/f" + std::to_string(p.get(proto::ReqFileList::start)) + "_" + std::to_string(k));
        }
        server.send(r);
        return true;
    };
    openGroup();
    EXPECT_EQ(server.countOf(Opcode::ReqFileList), 100);
    EXPECT_EQ(ui.available.rows.size(), 500u);
    EXPECT_EQ(lastLine().text, "Received.");
}

TEST_F(TransferTest, CheckOutLoopReportsInOrderAroundARefusal) {
    logInWithGroup({"C:\\docs\\a.txt", "C:\\docs\\b.txt", "C:\\docs\\c.txt"});
    server.holders["C:\\docs\\b.txt"] = "bob";
    openGroup();
    const std::size_t at = mark();
    checkOut({0, 1, 2});
    EXPECT_THAT(linesSince(at),
                ElementsAre("'C:\\docs\\a.txt' checked-out.",
                            "'C:\\docs\\b.txt' check-out failed: Already checked-out by 'bob' at "
                            "2007/04/28 [16:10].",
                            "'C:\\docs\\c.txt' checked-out."));
    EXPECT_EQ(kindOf("'C:\\docs\\a.txt' checked-out."), LineKind::Important);
    std::vector<int> tags;
    for (const Packet& p : server.receivedOf(Opcode::ReqCheckOut)) {
        tags.push_back(p.get(proto::ReqCheckOut::tag));
    }
    EXPECT_THAT(tags, ElementsAre(0, 1, 2));
    EXPECT_FALSE(ui.available.visible);
    ASSERT_TRUE(ui.working.visible);
    ASSERT_EQ(ui.working.rows.size(), 2u);
    EXPECT_EQ(ui.working.countLabel, "2 files");

    // The table on disk holds the two, and the refused record is free again.
    CheckOutTable onDisk;
    onDisk.load(chkout());
    EXPECT_EQ(onDisk.state(0), RecordCheckedOut);
    EXPECT_EQ(onDisk.state(1), RecordFree);
    EXPECT_EQ(onDisk.state(2), RecordCheckedOut);

    // Marking a path already held sends nothing for it.
    const int before = server.countOf(Opcode::ReqCheckOut);
    checkOut({0});
    EXPECT_EQ(server.countOf(Opcode::ReqCheckOut), before);
}

TEST_F(TransferTest, FetchesFilesOfZeroOneChunkAndAChunkAndAHalfByteExact) {
    const std::string empty = "/srv/zelt/empty.dat";
    const std::string whole = "C:\\Data\\whole.bin";
    const std::string half = "\\\\nas\\share\\half.bin";
    server.contents = {{empty, ""}, {whole, bytesOf(1024, 1)}, {half, bytesOf(1500, 2)}};
    logInWithGroup({empty, whole, half});
    openGroup();
    checkOut({0, 1, 2});
    const std::size_t at = mark();
    fetchAll();
    EXPECT_EQ(zelt::test::readAll(working("empty.dat")), "");
    EXPECT_TRUE(files::isFile(working("empty.dat")));
    EXPECT_EQ(zelt::test::readAll(working("whole.bin")), server.contents[whole]);
    EXPECT_EQ(zelt::test::readAll(working("half.bin")), server.contents[half]);
    EXPECT_THAT(fetchOffsets(), ElementsAre(0, 0, 1024, 0, 1024));
    EXPECT_THAT(linesSince(at), ElementsAre("'empty.dat' received.", "'whole.bin' received.",
                                            "'half.bin' received."));

    CheckOutTable onDisk;
    onDisk.load(chkout());
    EXPECT_EQ(onDisk.state(1), RecordFetched);
    EXPECT_EQ(onDisk.workingPath(1), working("whole.bin"));
    ASSERT_EQ(ui.working.rows.size(), 3u);
    EXPECT_EQ(ui.working.rows[2].fetched, "Yes");
    EXPECT_EQ(ui.working.rows[2].icon, IconFetched);
    EXPECT_FALSE(core->fetching());
    EXPECT_FALSE(ui.transfer.visible);
    // The progress bar ran 0 .. size/1024 - 1 and took one step per chunk.
    EXPECT_EQ(ui.transfer.rangeMax, 0);
    EXPECT_EQ(ui.transfer.position, 2);

    // Open File on a fetched row opens the working copy.
    core->selectWorkingFiles({1});
    core->openSelected();
    EXPECT_EQ(opened.back(), working("whole.bin"));
}

TEST_F(TransferTest, ViewCopiesGetNamesOfTheirOwnInTemp) {
    const std::string path = "C:\\docs\\plan.txt";
    server.contents[path] = bytesOf(1500, 3);
    logInWithGroup({path});
    openGroup();
    core->selectAvailableFiles({0});
    core->requestSelectedProperties();
    reactor.drain();
    ASSERT_TRUE(ui.properties.visible);
    EXPECT_EQ(ui.properties.details, "No file details.");
    core->viewFile();
    reactor.drain();
    core->viewFile();
    reactor.drain();
    std::vector<std::string> copies = files::listFiles(temp());
    std::sort(copies.begin(), copies.end());
    EXPECT_THAT(copies, ElementsAre("ann1__plan.txt", "ann2__plan.txt"));
    EXPECT_EQ(zelt::test::readAll(temp() + "/ann2__plan.txt"), server.contents[path]);
    EXPECT_EQ(opened.back(), temp() + "/ann2__plan.txt");
    EXPECT_EQ(lastLine().text, "'plan.txt' received.");

    // A file the server cannot copy: a message box and nothing written.
    core->console().plain("x");
    server.contents.erase(path);
    core->viewFile();
    reactor.drain();
    EXPECT_THAT(ui.boxes, ElementsAre("Failed to get the original file on the server."));
    EXPECT_EQ(files::listFiles(temp()).size(), 2u);
}

TEST_F(TransferTest, FilePropertiesShowTheLastUpdateWithCrLfLineEnds) {
    logInWithGroup({"C:\\docs\\a.txt"});
    server.intercept = [this](const Packet& p) {
        if (p.opcode() != Opcode::ReqFileProperties) return false;
        Packet r(Opcode::RepFileProperties);
        r.set(proto::RepFileProperties::groupName, "Team");
        r.set(proto::RepFileProperties::path, "C:\\docs\\a.txt");
        r.set(proto::RepFileProperties::holder, "bob");
        r.set(proto::RepFileProperties::checkOutTime, "2007/04/28 [16:10]");
        proto::MutableView details = r.mutableView().sub(proto::RepFileProperties::details.offset,
                                                         proto::DetailRecord::kSize);
        details.set(proto::DetailRecord::time, "2007/04/27 [09:00:00]");
        details.set(proto::DetailRecord::userName, "carl");
        details.set(proto::DetailRecord::comment, "one\ntwo\r\nthree");
        server.send(r);
        return true;
    };
    openGroup();
    core->selectAvailableFiles({0});
    core->requestSelectedProperties();
    reactor.drain();
    EXPECT_EQ(ui.properties.details, "2007/04/27 [09:00:00]\r\ncarl\r\n\r\none\r\ntwo\r\nthree");
    EXPECT_EQ(ui.properties.holder, "bob");
    EXPECT_TRUE(ui.properties.sendMessage);
    core->messageHolder();
    EXPECT_THAT(ui.sendMessageWindows, ElementsAre("bob"));
}

TEST_F(TransferTest, HeldFilesGetTheirCheckOutTimeOneQuestionAtATimeWithoutOpeningProperties) {
    const std::vector<std::string> paths = {"C:\\docs\\a.txt", "C:\\docs\\b.txt",
                                            "C:\\docs\\c.txt"};
    server.holders[paths[0]] = "bob";
    server.holders[paths[2]] = "carl";
    logInWithGroup(paths);
    // The server keeps quiet about the first file, as it does about a file it no longer lists.
    server.intercept = [&](const Packet& p) {
        if (p.opcode() == Opcode::ReqSendMessage) {
            server.send(Packet(Opcode::RepSendMessage));
            return true;
        }
        return p.opcode() == Opcode::ReqFileProperties &&
               server.countOf(Opcode::ReqFileProperties) == 1;
    };
    openGroup();
    core->sendMessage({"bob", "could you check a.txt in?", false});
    reactor.drain();
    // Nothing else goes while the first question waits for its answer.
    EXPECT_EQ(server.opcodes().back(), Opcode::ReqFileProperties);
    EXPECT_EQ(server.countOf(Opcode::ReqFileProperties), 1);
    EXPECT_EQ(server.receivedOf(Opcode::ReqFileProperties)[0].get(proto::ReqFileProperties::path),
              paths[0]);

    // Silence ends the wait: the next question, then the message, each after the one before.
    reactor.advance(RequestQueue::kAnswerWait);
    const std::vector<Opcode> sent = server.opcodes();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_THAT(std::vector<Opcode>(sent.end() - 2, sent.end()),
                ElementsAre(Opcode::ReqFileProperties, Opcode::ReqSendMessage));
    ASSERT_EQ(ui.available.rows.size(), 3u);
    EXPECT_EQ(ui.available.rows[0].holder, "bob");
    EXPECT_EQ(ui.available.rows[0].since, "");
    EXPECT_EQ(ui.available.rows[1].since, "");
    EXPECT_EQ(ui.available.rows[2].holder, "carl");
    EXPECT_EQ(ui.available.rows[2].since, "2007/04/28 [16:10]");
    EXPECT_FALSE(ui.properties.exists);

    // The user's own question opens the window.
    core->selectAvailableFiles({2});
    core->requestSelectedProperties();
    reactor.drain();
    EXPECT_TRUE(ui.properties.visible);
    EXPECT_EQ(ui.properties.checkOutTime, "2007/04/28 [16:10]");
}

TEST_F(TransferTest, TheTransferWindowShowsTheRateAndTheTimeLeft) {
    const std::string path = "C:\\docs\\big.bin";
    server.contents[path] = bytesOf(5000, 3);
    logInWithGroup({path});
    openGroup();
    checkOut({0});
    // Each chunk takes a second to come.
    FileTransferModel seen;
    server.intercept = [&](const Packet& p) {
        if (p.opcode() != Opcode::ReqFetchChunk) return false;
        if (p.get(proto::ReqFetchChunk::offset) == 2048) seen = ui.transfer;
        reactor.manualClock().advance(1000);
        return false;
    };
    fetchAll();
    EXPECT_EQ(seen.bytesDone, 2048);
    EXPECT_EQ(seen.bytesTotal, 5000);
    EXPECT_EQ(seen.rate, "1.0 KB/s");
    EXPECT_EQ(seen.timeLeft, "3 s");  // 2952 bytes at 1024 a second
    EXPECT_EQ(ui.transfer.bytesDone, 5000);
    EXPECT_EQ(ui.transfer.timeLeft, "0 s");
    // Longer waits keep two digits after the larger unit.
    EXPECT_EQ(timeLeftText(125 * 1024, 1024, 1000), "2 min 05 s");
    EXPECT_EQ(timeLeftText(3900 * 1024, 1024, 1000), "1 h 05 min");
}

TEST_F(TransferTest, CancelDuringAFetchReleasesTheServerCopyAndDropsTheRest) {
    const std::string first = "C:\\docs\\big1.bin";
    const std::string second = "C:\\docs\\big2.bin";
    server.contents = {{first, bytesOf(3000, 4)}, {second, bytesOf(3000, 5)}};
    logInWithGroup({first, second});
    openGroup();
    checkOut({0, 1});
    // The user presses Cancel while the second chunk is on its way.
    server.intercept = [this](const Packet& p) {
        if (p.opcode() == Opcode::ReqFetchChunk && p.get(proto::ReqFetchChunk::offset) == 1024) {
            core->cancelTransfer();
        }
        return false;
    };
    fetchAll();
    EXPECT_EQ(lastLine().text, "File transfer cancelled.");
    EXPECT_EQ(lastLine().kind, LineKind::Important);
    EXPECT_EQ(server.countOf(Opcode::ReqFetchOpen), 1);
    const std::vector<Packet> closes = server.receivedOf(Opcode::ReqFetchClose);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(server.deletedTemps.count(closes[0].get(proto::ReqFetchClose::tempPath)), 1u);
    EXPECT_FALSE(files::isFile(working("big1.bin")));
    EXPECT_FALSE(files::isFile(working("big2.bin")));
    EXPECT_EQ(core->checkOutTable().state(0), RecordCheckedOut);
    EXPECT_EQ(core->checkOutTable().state(1), RecordCheckedOut);
    EXPECT_TRUE(ui.working.visible);
    EXPECT_FALSE(ui.transfer.visible);
    core->selectWorkingFiles({0});
    EXPECT_TRUE(ui.working.buttons.fetch);
}

TEST_F(TransferTest, DamagedChunksAreAskedForAgainButTenInARowEndTheFetch) {
    const std::string path = "C:\\docs\\noisy.bin";
    server.contents[path] = bytesOf(1500, 6);
    logInWithGroup({path});
    openGroup();
    checkOut({0});

    server.damageChunks = ClientCore::kMaxBadChunks - 1;
    fetchAll();
    EXPECT_EQ(zelt::test::readAll(working("noisy.bin")), server.contents[path]);
    EXPECT_EQ(server.countOf(Opcode::ReqFetchChunk), ClientCore::kMaxBadChunks + 1);

    // Again, on a fresh check-out, with one damaged answer too many.
    server.contents["C:\\docs\\noisy2.bin"] = bytesOf(1500, 7);
    server.groupFiles["Team"].push_back("C:\\docs\\noisy2.bin");
    openGroup();
    checkOut({1});
    server.received.clear();
    server.damageChunks = ClientCore::kMaxBadChunks;
    const std::size_t at = mark();
    fetchAll();
    EXPECT_EQ(server.countOf(Opcode::ReqFetchChunk), ClientCore::kMaxBadChunks);
    EXPECT_EQ(server.countOf(Opcode::ReqFetchClose), 1);
    EXPECT_THAT(linesSince(at),
                ElementsAre("Server couldn't send the file 'C:\\docs\\noisy2.bin'."));
    EXPECT_EQ(core->checkOutTable().state(1), RecordCheckedOut);
    EXPECT_FALSE(core->fetching());
}

TEST_F(TransferTest, TenDamagedViewChunksEndTheViewWithItsError) {
    const std::string path = "C:\\docs\\v.bin";
    // Longer than a chunk: the server keeps its copy until the last one is read.
    server.contents[path] = bytesOf(3000, 8);
    logInWithGroup({path});
    openGroup();
    core->selectAvailableFiles({0});
    core->requestSelectedProperties();
    reactor.drain();
    server.damageChunks = 1000;
    core->viewFile();
    reactor.drain();
    EXPECT_EQ(server.countOf(Opcode::ReqViewChunk), ClientCore::kMaxBadChunks);
    EXPECT_EQ(server.countOf(Opcode::ReqViewClose), 1);
    EXPECT_EQ(lastLine().text, "Server couldn't send the file.");
    EXPECT_TRUE(opened.empty());
}

TEST_F(TransferTest, AnAdministratorsVoidKeepsTheEditedWorkingCopyInBackup) {
    const std::string path = "C:\\docs\\notes.txt";
    server.contents[path] = "original";
    logInWithGroup({path});
    openGroup();
    checkOut({0});
    fetchAll();
    zelt::test::writeAll(working("notes.txt"), "my edits");
    zelt::test::writeAll(backup("notes.txt.voided"), "an older voided copy");
    const int alerts = ui.alerts;

    Packet push(Opcode::PushCheckOutVoided);
    push.set(proto::PushCheckOutVoided::path, path);
    server.send(push);
    const std::size_t at = mark();
    reactor.drain();
    EXPECT_THAT(linesSince(at),
                ElementsAre("Your check-out for 'C:\\docs\\notes.txt' is voided by administrator.",
                            "Your working copy is kept as '" + backup("notes.txt.voided") + "'."));
    EXPECT_EQ(kindOf("Your working copy is kept as '" + backup("notes.txt.voided") + "'."),
              LineKind::Plain);
    EXPECT_EQ(ui.alerts, alerts + 1);
    EXPECT_THAT(
        ui.notices,
        ElementsAre("Your check-out for 'C:\\docs\\notes.txt' is voided by administrator."));
    EXPECT_FALSE(files::isFile(working("notes.txt")));
    EXPECT_EQ(zelt::test::readAll(backup("notes.txt.voided")), "my edits");
    EXPECT_EQ(core->checkOutTable().checkedOutCount(), 0);
    CheckOutTable onDisk;
    onDisk.load(chkout());
    EXPECT_EQ(onDisk.checkedOutCount(), 0);
    EXPECT_TRUE(ui.working.rows.empty());

    // A void of something the client does not hold is still reported.
    server.send(push);
    reactor.drain();
    EXPECT_EQ(lastLine().text,
              "Your check-out for 'C:\\docs\\notes.txt' is voided by administrator.");
}

TEST_F(TransferTest, EachFileOfACheckOutAndItsFetchIsReportedAndEachFlowEndsOnce) {
    const std::string a = "C:\\docs\\a.txt";
    const std::string b = "C:\\docs\\b.txt";
    const std::string c = "C:\\docs\\c.bin";
    server.contents = {{a, "A"}, {b, "B"}, {c, bytesOf(3000, 3)}};
    server.holders[b] = "bob";
    logInWithGroup({a, b, c});
    openGroup();
    EXPECT_EQ(flows.endsOf(Flow::FileList), 1);
    checkOut({0, 1, 2});
    EXPECT_THAT(flows.outcomes(Flow::CheckOut),
                ElementsAre(std::pair{a, Outcome::Done}, std::pair{b, Outcome::Refused},
                            std::pair{c, Outcome::Done}));
    const FlowItem refused = flows.itemsOf(Flow::CheckOut)[1];
    EXPECT_EQ(refused.serverText, "Already checked-out by 'bob' at 2007/04/28 [16:10].");
    EXPECT_EQ(refused.line, "'" + b + "' check-out failed: " + refused.serverText);
    EXPECT_EQ(flows.endsOf(Flow::CheckOut), 1);

    // The copy of c is given up after its first chunk has arrived: Working never sees it.
    server.intercept = [this](const Packet& p) {
        if (p.opcode() == Opcode::ReqFetchChunk && p.get(proto::ReqFetchChunk::offset) == 1024) {
            server.damageChunks = ClientCore::kMaxBadChunks;
        }
        return false;
    };
    fetchAll();
    EXPECT_THAT(flows.outcomes(Flow::Fetch),
                ElementsAre(std::pair{a, Outcome::Done}, std::pair{c, Outcome::Refused}));
    EXPECT_EQ(flows.last(Flow::Fetch)->line, "Server couldn't send the file '" + c + "'.");
    EXPECT_EQ(flows.itemsOf(Flow::Fetch)[0].localPath, working("a.txt"));
    EXPECT_EQ(flows.endsOf(Flow::Fetch), 1);
    EXPECT_EQ(zelt::test::readAll(working("a.txt")), "A");
    EXPECT_FALSE(files::isFile(working("c.bin")));
    EXPECT_TRUE(files::listFiles(temp()).empty());
    EXPECT_EQ(server.countOf(Opcode::ReqFetchClose), 1);
    EXPECT_EQ(core->checkOutTable().state(core->checkOutTable().findHeld(c)), RecordCheckedOut);
}

TEST_F(TransferTest, APathWhoseBaseNameLeavesTheWorkingFolderIsRefused) {
    const std::string path = "C:\\docs\\..";
    server.contents[path] = "escape";
    logInWithGroup({path});
    openGroup();
    checkOut({0});
    fetchAll();
    EXPECT_EQ(lastLine().text, "Failed to get the original file name.");
    EXPECT_EQ(lastLine().kind, LineKind::Error);
    EXPECT_EQ(core->checkOutTable().state(0), RecordCheckedOut);
    EXPECT_EQ(files::listFiles(userDir()).size(), 0u);
    EXPECT_EQ(files::listFiles(working()).size(), 0u);
}

TEST_F(TransferTest, TwoServerFilesOfOneNameNeverShareAWorkingCopy) {
    const std::string a = "C:\\teamA\\report.doc";
    const std::string b = "C:\\teamB\\report.doc";
    server.contents = {{a, "A"}, {b, "B"}};
    logInWithGroup({a, b});
    openGroup();
    checkOut({0});
    fetchAll();
    zelt::test::writeAll(working("report.doc"), "A with edits");
    checkOut({1});
    core->selectWorkingFiles({1});
    core->fetchSelected();
    reactor.drain();
    EXPECT_EQ(lastLine().text, "Failed to save the fetched file '" + working("report.doc") + "'.");
    EXPECT_EQ(zelt::test::readAll(working("report.doc")), "A with edits");
    EXPECT_EQ(core->checkOutTable().state(1), RecordCheckedOut);
}

TEST_F(TransferTest, AnAnswerForARecordNotAwaitingOneChangesNothing) {
    const std::string path = "C:\\docs\\kept.txt";
    server.contents[path] = "content";
    logInWithGroup({path});
    openGroup();
    checkOut({0});
    fetchAll();
    Packet stray(Opcode::RepCheckOut);
    stray.set(proto::RepCheckOut::tag, 0);
    stray.set(proto::RepCheckOut::status, proto::RepCheckOut::kRefused);
    stray.set(proto::RepCheckOut::path, path);
    server.send(stray);
    Packet wild(Opcode::RepCheckOut);
    wild.set(proto::RepCheckOut::tag, 100000);
    server.send(wild);
    reactor.drain();
    EXPECT_EQ(core->checkOutTable().state(0), RecordFetched);
    EXPECT_TRUE(files::isFile(working("kept.txt")));
}

TEST_F(TransferTest, AFailedCheckOutTableWriteIsReported) {
    // A folder where the table file should be: nothing can replace it.
    EXPECT_NE(files::createFolder(chkout()), files::FolderResult::Failed);
    logInWithGroup({"C:\\docs\\a.txt"});
    openGroup();
    const std::size_t at = mark();
    checkOut({0});
    EXPECT_THAT(linesSince(at),
                ElementsAre("'C:\\docs\\a.txt' checked-out.",
                            "Failed to save the check-out table '" + chkout() + "'."));
    EXPECT_EQ(kindOf("Failed to save the check-out table '" + chkout() + "'."), LineKind::Error);
}

TEST_F(TransferTest, ALostConnectionEndsAFetchAndFreesTheButtons) {
    const std::string path = "C:\\docs\\big.bin";
    server.contents[path] = bytesOf(5000, 9);
    logInWithGroup({path});
    openGroup();
    checkOut({0});
    server.intercept = [this](const Packet& p) {
        if (p.opcode() == Opcode::ReqFetchChunk && p.get(proto::ReqFetchChunk::offset) == 2048) {
            server.dropClient();
            return true;
        }
        return false;
    };
    fetchAll();
    EXPECT_EQ(core->connectionState(), ConnectionState::NotConnected);
    EXPECT_FALSE(core->fetching());
    EXPECT_FALSE(ui.transfer.visible);
    // What had arrived is gone: no half file in Working, nothing left in Temp.
    EXPECT_FALSE(files::isFile(working("big.bin")));
    EXPECT_TRUE(files::listFiles(temp()).empty());
    core->selectWorkingFiles({0});
    EXPECT_TRUE(ui.working.buttons.open);
    EXPECT_FALSE(ui.working.buttons.fetch);
    // Open File on a file not fetched needs the server.
    core->openSelected();
    EXPECT_EQ(lastLine().text, "You are not connected yet.");
}

}  // namespace
}  // namespace zelt::client::test
