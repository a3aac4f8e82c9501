#include "tests/server/repository_fixture.h"

namespace zelt::server::test {
namespace {

class TransferTest : public RepositoryFixture {};

TEST_F(TransferTest, FetchesReassembleByteExactAtEverySizeBoundary) {
    std::vector<std::string> paths;
    for (const std::size_t size : {0u, 1u, 1023u, 1024u, 1500u, 2048u, 3u << 20}) {
        paths.push_back(memberFile("f" + std::to_string(size), randomBytes(size, size)));
    }
    addGroup("alpha", {"anna"}, paths);
    auto anna = logIn("anna");
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(fetch(*anna, path), readAll(path));
    }
    EXPECT_TRUE(files::listFiles(server->paths().temp).empty());
}

TEST_F(TransferTest, AViewCopyIsServedLikeAFetchWithoutTag) {
    const std::string content = randomBytes(1500);
    const std::string plan = memberFile("plan.doc", content);
    addGroup("alpha", {"anna"}, {plan});
    auto anna = logIn("anna");
    Packet open(Opcode::ReqViewOpen);
    open.set(proto::ReqViewOpen::path, plan);
    anna->send(open);
    const Packet opened = anna->expect(Opcode::RepViewOpen);
    EXPECT_EQ(opened.get(proto::RepViewOpen::size), 1500);
    const std::string temp = opened.get(proto::RepViewOpen::tempPath);
    EXPECT_EQ(files::baseName(temp).substr(0, 3), "ann");  // the user's first three letters
    EXPECT_EQ(temp.substr(temp.size() - 4), ".tmp");

    std::string got;
    for (const auto& [offset, status, count] : {std::tuple{0, 1, 1024}, {1024, 0, 476}}) {
        Packet chunk(Opcode::ReqViewChunk);
        chunk.set(proto::ReqViewChunk::path, plan);
        chunk.set(proto::ReqViewChunk::tempPath, temp);
        chunk.set(proto::ReqViewChunk::offset, offset);
        anna->send(chunk);
        const Packet r = anna->expect(Opcode::RepViewChunk);
        EXPECT_EQ(r.get(proto::RepViewChunk::status), status);
        ASSERT_EQ(r.get(proto::RepViewChunk::count), count);
        const auto data = r.get(proto::RepViewChunk::data).first(count);
        EXPECT_EQ(r.get(proto::RepViewChunk::checksum), proto::chunkChecksum(data));
        got.append(data.begin(), data.end());
    }
    EXPECT_EQ(got, content);
    EXPECT_FALSE(files::isFile(temp));
    // Asked again after the end: the copy is gone.
    const Packet late = fetchChunk(*anna, plan, temp, 1024);
    EXPECT_EQ(late.get(proto::RepFetchChunk::status), proto::kChunkError);
    EXPECT_EQ(late.get(proto::RepFetchChunk::count), 0);
}

TEST_F(TransferTest, AClientCanCloseItsOwnCopyAndNothingElse) {
    const std::string plan = memberFile("plan.doc", randomBytes(5000));
    addGroup("alpha", {"anna", "bob"}, {plan});
    auto anna = logIn("anna");
    auto bob = logIn("bob");
    const std::string annas = openFetch(*anna, plan).get(proto::RepFetchOpen::tempPath);
    const std::string bobs = openFetch(*bob, plan).get(proto::RepFetchOpen::tempPath);
    const std::string outside = dir.file("docs/keep.txt");
    writeAll(outside, "keep");
    ASSERT_TRUE(server->saveGroups());
    auto close = [&](TestPeer& peer, Opcode op, const std::string& temp) {
        Packet p(op);
        p.set(proto::ReqViewClose::tempPath, temp);
        peer.send(p);
        EXPECT_TRUE(peer.quiet(50));  // no answer
    };
    close(*anna, Opcode::ReqFetchClose, bobs);
    close(*anna, Opcode::ReqViewClose, outside);
    close(*anna, Opcode::ReqFetchClose, plan);
    close(*anna, Opcode::ReqFetchClose, server->paths().groups);
    EXPECT_TRUE(files::isFile(bobs));
    EXPECT_TRUE(files::isFile(outside));
    EXPECT_TRUE(files::isFile(plan));
    EXPECT_TRUE(files::isFile(server->paths().groups));

    close(*anna, Opcode::ReqFetchClose, annas);
    EXPECT_FALSE(files::isFile(annas));
    close(*bob, Opcode::ReqViewClose, bobs);
    EXPECT_FALSE(files::isFile(bobs));
}

TEST_F(TransferTest, NoFileOutsideTheUsersGroupsCanBeReadThroughTheServer) {
    const std::string plan = memberFile("plan.doc", "alpha's");
    const std::string secret = memberFile("secret.doc", "beta's");
    const std::string parked = memberFile("parked.doc", "off's");
    addGroup("alpha", {"anna", "bob"}, {plan});
    addGroup("beta", {"bob"}, {secret});
    addGroup("off", {"anna"}, {parked}, StateDisabled);
    auto anna = logIn("anna");
    auto bob = logIn("bob");
    for (const std::string& path : {std::string("/etc/passwd"), secret, parked,
                                    dir.file("docs/../docs/plan.doc"), server->paths().groups}) {
        SCOPED_TRACE(path);
        const Packet r = openFetch(*anna, path);
        EXPECT_EQ(r.get(proto::RepFetchOpen::size), 0);
        EXPECT_EQ(r.get(proto::RepFetchOpen::tempPath), "");
    }
    // Nor by naming a file as if it were a copy, or by using another user's copy.
    const std::string bobs = openFetch(*bob, plan).get(proto::RepFetchOpen::tempPath);
    for (const std::string& temp :
         {std::string("/etc/passwd"), plan, bobs, server->paths().temp + "/../Groups.zelt"}) {
        SCOPED_TRACE(temp);
        const Packet r = fetchChunk(*anna, plan, temp, 0);
        EXPECT_EQ(r.get(proto::RepFetchChunk::status), proto::kChunkError);
        EXPECT_EQ(r.get(proto::RepFetchChunk::count), 0);
        EXPECT_EQ(r.get(proto::RepFetchChunk::checksum), 0);
        for (const std::uint8_t b : r.get(proto::RepFetchChunk::data)) ASSERT_EQ(b, 0);
    }
    EXPECT_EQ(fetch(*bob, secret), "beta's");
    EXPECT_EQ(readAll(bobs), "alpha's");
}

TEST_F(TransferTest, AbandonedCopiesDoNotPileUp) {
    const std::string plan = memberFile("plan.doc", randomBytes(3000));
    addGroup("alpha", {"anna", "bob"}, {plan});
    auto anna = logIn("anna");
    auto bob = logIn("bob");
    const std::string bobs = openFetch(*bob, plan).get(proto::RepFetchOpen::tempPath);
    std::vector<std::string> temps;
    for (std::size_t i = 0; i < TempFiles::MaxPerAccount + 4; ++i) {
        temps.push_back(openFetch(*anna, plan).get(proto::RepFetchOpen::tempPath));
        if (i == 10) {  // in use: not among the oldest now
            EXPECT_EQ(fetchChunk(*anna, plan, temps[0], 0).get(proto::RepFetchChunk::status), 1);
        }
    }
    EXPECT_EQ(server->repository().tempFiles().countOf("ANNA"), TempFiles::MaxPerAccount);
    EXPECT_EQ(files::listFiles(server->paths().temp).size(), TempFiles::MaxPerAccount + 1);
    EXPECT_TRUE(files::isFile(temps[0]));
    for (std::size_t i = 1; i <= 4; ++i) EXPECT_FALSE(files::isFile(temps[i])) << i;
    EXPECT_TRUE(files::isFile(bobs));  // another account's copies are not touched
    EXPECT_EQ(fetchChunk(*anna, plan, temps[1], 0).get(proto::RepFetchChunk::status),
              proto::kChunkError);
}

}  // namespace
}  // namespace zelt::server::test
