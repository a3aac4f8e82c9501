#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/protocol/layouts.h"
#include "tests/client/client_fixture.h"

namespace zelt::client::test {
namespace {

using proto::Opcode;
using proto::Packet;
using ::testing::ElementsAre;

// A logged-in client holding the given files, fetched into its Working folder.
class CheckInTest : public ClientTest {
protected:
    void holdFetched(const std::map<std::string, std::string>& files) {
        std::vector<std::string> paths;
        for (const auto& [path, content] : files) {
            paths.push_back(path);
            server.contents[path] = content;
        }
        server.groups = {"Team"};
        server.groupFiles["Team"] = paths;
        logIn("anna");
        core->console().function("Team", "GRPFLIST");
        core->executeLine(static_cast<int>(core->console().size() - 1));
        reactor.drain();
        core->selectAvailableFiles(allRows(paths.size()));
        core->checkOutSelected();
        reactor.drain();
        core->selectWorkingFiles(allRows(paths.size()));
        core->fetchSelected();
        reactor.drain();
    }

    static std::vector<int> allRows(std::size_t n) {
        std::vector<int> rows;
        for (std::size_t i = 0; i < n; ++i) rows.push_back(static_cast<int>(i));
        return rows;
    }

    void checkIn(std::vector<int> rows) {
        core->selectWorkingFiles(std::move(rows));
        core->checkInSelected();
        reactor.drain();
    }

    static CommentReply comment(std::vector<std::string> lines, bool applyToRest = false) {
        return CommentReply{true, std::move(lines), applyToRest};
    }

    // The server answers a commit with a refusal.
    void refuseCommit(const Packet& request, const std::string& reason) {
        Packet r(Opcode::RepCheckIn);
        r.set(proto::RepCheckIn::tag, request.get(proto::ReqCheckIn::tag));
        r.set(proto::RepCheckIn::status, proto::RepCheckIn::kFailed);
        r.set(proto::RepCheckIn::reason, reason);
        server.send(r);
    }
};

TEST_F(CheckInTest, OneCommentAppliedToTheRestGoesWithEveryCommit) {
    holdFetched({{"C:\\p\\a.txt", "a0"}, {"C:\\p\\b.txt", "b0"}, {"C:\\p\\c.txt", "c0"}});
    zelt::test::writeAll(working("a.txt"), "a1");
    zelt::test::writeAll(working("b.txt"), "b1");
    zelt::test::writeAll(working("c.txt"), "c1");
    ui.comments.push_back(comment({"Fixed the totals.", "Checked twice."}, true));
    const std::size_t at = mark();
    checkIn({0, 1, 2});

    EXPECT_THAT(ui.commentPaths, ElementsAre("C:\\p\\a.txt"));
    ASSERT_EQ(server.checkIns.size(), 3u);
    for (const auto& done : server.checkIns) {
        EXPECT_EQ(done.comment, "Fixed the totals.\nChecked twice.\n");
        EXPECT_EQ(done.userName, "anna");
    }
    EXPECT_EQ(server.checkIns[1].content, "b1");
    EXPECT_EQ(server.receivedOf(Opcode::ReqCheckIn)[0].get(proto::ReqCheckIn::uploadName),
              "anna__a.txt");
    EXPECT_THAT(linesSince(at),
                ElementsAre("'C:\\p\\a.txt' checked-in.", "'C:\\p\\b.txt' checked-in.",
                            "'C:\\p\\c.txt' checked-in."));
    EXPECT_EQ(zelt::test::readAll(backup("c.txt")), "c1");
    EXPECT_TRUE(files::listFiles(working()).empty());
    EXPECT_EQ(core->checkOutTable().checkedOutCount(), 0);
    CheckOutTable onDisk;
    onDisk.load(dataDir() + "/Chkout.zelt");
    EXPECT_EQ(onDisk.checkedOutCount(), 0);
    // Nothing is left checked out, so the window stays hidden.
    EXPECT_FALSE(ui.working.visible);
    core->showWorkingFiles();
    EXPECT_EQ(lastLine().text, "No file currently checked-out.");
}

TEST_F(CheckInTest, AFileOfExactlyOneChunkEndsWithAnEmptyLastChunk) {
    holdFetched({{"C:\\p\\k.bin", "x"}});
    zelt::test::writeAll(working("k.bin"), std::string(1024, 'k'));
    ui.comments.push_back(comment({"kilo"}));
    checkIn({0});
    const std::vector<Packet> chunks = server.receivedOf(Opcode::ReqCheckInChunk);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].get(proto::ReqCheckInChunk::count), 1024);
    EXPECT_EQ(chunks[0].get(proto::ReqCheckInChunk::last), 0);
    EXPECT_EQ(chunks[1].get(proto::ReqCheckInChunk::offset), 1024);
    EXPECT_EQ(chunks[1].get(proto::ReqCheckInChunk::count), 0);
    EXPECT_EQ(chunks[1].get(proto::ReqCheckInChunk::last), 1);
    ASSERT_EQ(server.checkIns.size(), 1u);
    EXPECT_EQ(server.checkIns[0].content, std::string(1024, 'k'));
}

TEST_F(CheckInTest, ClosingTheCommentDialogCommitsNoCommentAndLongCommentsAreCut) {
    holdFetched({{"C:\\p\\a.txt", "a"}, {"C:\\p\\b.txt", "b"}});
    ui.comments.push_back(CommentReply{});  // closed with the window's close box
    ui.comments.push_back(comment(std::vector<std::string>(30, std::string(40, 'w'))));
    checkIn({0, 1});
    ASSERT_EQ(server.checkIns.size(), 2u);
    EXPECT_EQ(server.checkIns[0].comment, "No comment.");
    EXPECT_EQ(server.checkIns[1].comment.size(), 24u * 41u);
}

TEST_F(CheckInTest, AFileNotFetchedIsSkippedWithOneMessage) {
    holdFetched({{"C:\\p\\a.txt", "a"}});
    // Two more held but not fetched.
    server.contents["C:\\p\\b.txt"] = "b";
    server.contents["C:\\p\\c.txt"] = "c";
    server.groupFiles["Team"] = {"C:\\p\\a.txt", "C:\\p\\b.txt", "C:\\p\\c.txt"};
    core->console().function("Team", "GRPFLIST");
    core->executeLine(static_cast<int>(core->console().size() - 1));
    reactor.drain();
    core->selectAvailableFiles({1, 2});
    core->checkOutSelected();
    reactor.drain();
    ASSERT_EQ(ui.working.rows.size(), 3u);
    ui.comments.push_back(comment({"ok"}));
    checkIn({0, 1, 2});
    EXPECT_THAT(ui.boxes, ElementsAre("The selected file is not fetched yet."));
    EXPECT_EQ(server.checkIns.size(), 1u);
    // Two files stay checked out: the window comes back.
    EXPECT_TRUE(ui.working.visible);
    EXPECT_EQ(ui.working.rows.size(), 2u);
}

TEST_F(CheckInTest, ARefusedCommitKeepsTheRecordAndTheWorkingCopy) {
    holdFetched({{"C:\\p\\a.txt", "a"}});
    zelt::test::writeAll(working("a.txt"), "edited");
    server.intercept = [this](const Packet& p) {
        if (p.opcode() != Opcode::ReqCheckIn) return false;
        refuseCommit(p, "Failed to create a backup of the new file.");
        return true;
    };
    ui.comments.push_back(comment({"try"}));
    checkIn({0});
    EXPECT_EQ(lastLine().text,
              "'C:\\p\\a.txt' check-in failed. Failed to create a backup of the new file.");
    EXPECT_EQ(lastLine().kind, LineKind::Error);
    EXPECT_EQ(core->checkOutTable().state(0), RecordFetched);
    EXPECT_EQ(zelt::test::readAll(working("a.txt")), "edited");
    EXPECT_TRUE(ui.working.visible);
}

TEST_F(CheckInTest, ACheckInReplacesTheOlderBackupOfTheSameName) {
    holdFetched({{"C:\\p\\a.txt", "a"}});
    zelt::test::writeAll(backup("a.txt"), "last week");
    zelt::test::writeAll(working("a.txt"), "today");
    ui.comments.push_back(comment({"update"}));
    checkIn({0});
    EXPECT_EQ(zelt::test::readAll(backup("a.txt")), "today");
}

TEST_F(CheckInTest, AChunkTheServerNeverTakesEndsThatFileOnly) {
    holdFetched({{"C:\\p\\a.txt", "a"}, {"C:\\p\\b.txt", "b"}});
    zelt::test::writeAll(working("a.txt"), "aaa");
    zelt::test::writeAll(working("b.txt"), "bbb");
    server.damageUploads = ClientCore::kMaxBadChunks;
    ui.comments.push_back(comment({"second only"}));
    const std::size_t at = mark();
    checkIn({0, 1});
    EXPECT_EQ(linesSince(at).front(), "Server failed to save the transferred file: C:\\p\\a.txt");
    EXPECT_EQ(server.countOf(Opcode::ReqCheckInAbort), 1);
    ASSERT_EQ(server.checkIns.size(), 1u);
    EXPECT_EQ(server.checkIns[0].path, "C:\\p\\b.txt");
    EXPECT_EQ(core->checkOutTable().state(0), RecordFetched);
}

TEST_F(CheckInTest, EachCheckInIsReportedAndAChunkTheServerCouldNotStoreIsAborted) {
    holdFetched({{"C:\\p\\a.txt", "a"}, {"C:\\p\\b.txt", "b"}, {"C:\\p\\c.txt", "c"}});
    zelt::test::writeAll(working("a.txt"), "a1");
    zelt::test::writeAll(working("b.txt"), "b1");
    zelt::test::writeAll(working("c.txt"), "c1");
    server.intercept = [this](const Packet& p) {
        if (p.opcode() == Opcode::ReqCheckIn && p.get(proto::ReqCheckIn::path) == "C:\\p\\b.txt") {
            refuseCommit(p, "Not checked-out by you.");
            return true;
        }
        // The server's disk is full when c's first chunk arrives.
        if (p.opcode() == Opcode::ReqCheckInChunk &&
            p.get(proto::ReqCheckInChunk::uploadName) == "anna__c.txt") {
            Packet r(Opcode::RepCheckInChunk);
            r.set(proto::RepCheckInChunk::tag, p.get(proto::ReqCheckInChunk::tag));
            r.set(proto::RepCheckInChunk::nextOffset, -1);
            server.send(r);
            return true;
        }
        return false;
    };
    ui.comments.push_back(comment({"all"}, true));
    checkIn({0, 1, 2});
    EXPECT_THAT(flows.outcomes(Flow::CheckIn),
                ElementsAre(std::pair{std::string("C:\\p\\a.txt"), Outcome::Done},
                            std::pair{std::string("C:\\p\\b.txt"), Outcome::Refused},
                            std::pair{std::string("C:\\p\\c.txt"), Outcome::Refused}));
    const std::vector<FlowItem> items = flows.itemsOf(Flow::CheckIn);
    EXPECT_EQ(items[0].localPath, backup("a.txt"));
    EXPECT_EQ(items[1].serverText, "Not checked-out by you.");
    EXPECT_EQ(items[2].line, "Server failed to save the transferred file: C:\\p\\c.txt");
    EXPECT_EQ(flows.endsOf(Flow::CheckIn), 1);
    const std::vector<Packet> aborts = server.receivedOf(Opcode::ReqCheckInAbort);
    ASSERT_EQ(aborts.size(), 1u);
    EXPECT_EQ(aborts[0].get(proto::ReqCheckInAbort::uploadName), "anna__c.txt");
}

TEST_F(CheckInTest, CancellingAnUploadAbortsItAndKeepsEverything) {
    holdFetched({{"C:\\p\\big.bin", "x"}, {"C:\\p\\next.bin", "y"}});
    zelt::test::writeAll(working("big.bin"), std::string(5000, 'b'));
    server.intercept = [this](const Packet& p) {
        if (p.opcode() == Opcode::ReqCheckInChunk &&
            p.get(proto::ReqCheckInChunk::offset) == 2048) {
            core->cancelTransfer();
        }
        return false;
    };
    const std::size_t at = mark();
    checkIn({0, 1});
    EXPECT_TRUE(linesSince(at).empty());
    EXPECT_EQ(server.countOf(Opcode::ReqCheckInAbort), 1);
    EXPECT_EQ(server.countOf(Opcode::ReqCheckIn), 0);
    EXPECT_TRUE(server.uploads.empty());
    EXPECT_EQ(core->checkOutTable().checkedOutCount(), 2);
    EXPECT_TRUE(ui.working.visible);
}

TEST_F(CheckInTest, VoidAsksFirstThenDeletesTheWorkingCopy) {
    holdFetched({{"C:\\p\\a.txt", "a"}});
    ui.answers.push_back(false);
    core->selectWorkingFiles({0});
    core->voidSelected();
    reactor.drain();
    EXPECT_THAT(ui.questions, ElementsAre("Are you sure you want to void check-out ?"));
    EXPECT_EQ(server.countOf(Opcode::ReqVoidCheckOut), 0);

    ui.answers.push_back(true);
    core->selectWorkingFiles({0});
    core->voidSelected();
    reactor.drain();
    EXPECT_EQ(kindOf("'C:\\p\\a.txt' check-out voided."), LineKind::Important);
    EXPECT_FALSE(files::isFile(working("a.txt")));
    EXPECT_EQ(core->checkOutTable().checkedOutCount(), 0);
    EXPECT_TRUE(server.holders["C:\\p\\a.txt"].empty());
    core->showWorkingFiles();
    EXPECT_EQ(lastLine().text, "No file currently checked-out.");
}

TEST_F(CheckInTest, ARestartFindsItsCheckOutsInTheTable) {
    holdFetched({{"C:\\p\\a.txt", "a"}, {"C:\\p\\b.txt", "b"}});
    core.reset();
    logIn("anna");
    core->showWorkingFiles();
    ASSERT_EQ(ui.working.rows.size(), 2u);
    EXPECT_EQ(ui.working.rows[0].fetched, "Yes");
    const std::size_t at = mark();
    core->disconnect();
    EXPECT_EQ(linesSince(at).front(), "You are not safe to disconnect.");
}

// --- requests in flight, and servers that take none --------------------------------------------

std::string patterned(std::size_t size, int seed) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + seed * 17) % 253);
    return s;
}

std::vector<std::int64_t> offsetsOf(const std::vector<Packet>& requests, proto::Int64 field) {
    std::vector<std::int64_t> out;
    for (const Packet& p : requests) out.push_back(p.get(field));
    return out;
}

TEST_F(CheckInTest, AServerThatTakesEachReadAsOnePacketOnlyEverGetsOneRequestAtATime) {
    server.wholeReads = true;
    const std::string path = "C:\\p\\plan.bin";
    holdFetched({{path, patterned(5000, 1)}});
    EXPECT_EQ(zelt::test::readAll(working("plan.bin")), patterned(5000, 1));
    zelt::test::writeAll(working("plan.bin"), patterned(4100, 2));
    ui.comments.push_back(comment({"Redrawn."}));
    checkIn({0});

    ASSERT_EQ(server.checkIns.size(), 1u);
    EXPECT_EQ(server.checkIns[0].content, patterned(4100, 2));
    EXPECT_EQ(server.gluedReads, 0);
    EXPECT_EQ(server.unknownOpcodes, 0);
    // Not one request more than a client that knows nothing of requests in flight sends.
    EXPECT_THAT(offsetsOf(server.receivedOf(Opcode::ReqFetchChunk), proto::ReqFetchChunk::offset),
                ElementsAre(0, 1024, 2048, 3072, 4096));
    EXPECT_THAT(
        offsetsOf(server.receivedOf(Opcode::ReqCheckInChunk), proto::ReqCheckInChunk::offset),
        ElementsAre(0, 1024, 2048, 3072, 4096));
}

TEST_F(CheckInTest, WithRequestsInFlightADamagedChunkIsAskedAgainWithoutStoppingTheRest) {
    server.pipelined = true;
    const std::string path = "C:\\p\\site.dwg";
    const std::string content = patterned(64 * 1024 + 100, 3);
    server.damageOffsets = {10 * 1024};
    holdFetched({{path, content}});
    EXPECT_EQ(zelt::test::readAll(working("site.dwg")), content);
    EXPECT_EQ(server.countOf(Opcode::ReqPipeline), 1);
    // The damaged chunk was asked again after chunks behind it, and the last one only when
    // everything before it had come: its answer deletes the server's copy.
    const std::vector<std::int64_t> asked =
        offsetsOf(server.receivedOf(Opcode::ReqFetchChunk), proto::ReqFetchChunk::offset);
    ASSERT_EQ(asked.size(), 66u);
    for (std::size_t k = 0; k < 64; ++k) EXPECT_EQ(asked[k], static_cast<std::int64_t>(k * 1024));
    EXPECT_EQ(asked[64], 10 * 1024);
    EXPECT_EQ(asked[65], 64 * 1024);

    const std::string edited = patterned(50 * 1024 + 7, 4);
    zelt::test::writeAll(working("site.dwg"), edited);
    server.damageOffsets = {20 * 1024};
    ui.comments.push_back(comment({"Moved the gate."}));
    checkIn({0});
    ASSERT_EQ(server.checkIns.size(), 1u);
    EXPECT_EQ(server.checkIns[0].content, edited);
    EXPECT_EQ(server.countOf(Opcode::ReqCheckInChunk), 51 + 1);

    // Ten damaged answers in a row still end a transfer.
    server.groupFiles["Team"].push_back("C:\\p\\noise.bin");
    server.contents["C:\\p\\noise.bin"] = patterned(30000, 5);
    core->console().function("Team", "GRPFLIST");
    core->executeLine(static_cast<int>(core->console().size() - 1));
    reactor.drain();
    core->selectAvailableFiles({1});
    core->checkOutSelected();
    reactor.drain();
    server.damageChunks = ClientCore::kMaxBadChunks;
    const std::size_t at = mark();
    core->selectWorkingFiles({0});
    core->fetchSelected();
    reactor.drain();
    EXPECT_THAT(linesSince(at), ElementsAre("Server couldn't send the file 'C:\\p\\noise.bin'."));
    EXPECT_FALSE(files::isFile(working("noise.bin")));
    EXPECT_FALSE(core->fetching());
}

}  // namespace
}  // namespace zelt::client::test
