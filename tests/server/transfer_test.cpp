#include <algorithm>
#include <array>
#include <chrono>

#include "common/platform/tcp.h"
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

namespace zelt::server::test {
namespace {

// A client of the older kind: it sends one request, waits, and takes whatever one read brings
// as the answer.
class OneReadClient {
public:
    OneReadClient(ManualReactor& reactor, std::uint16_t port) : reactor_(reactor) {
        int error = 0;
        handle_ = tcp::startConnect(0x7f000001, port, &error);
        EXPECT_NE(handle_, kNoHandle);
    }
    ~OneReadClient() { tcp::closeSocket(handle_); }
    Handle handle() const { return handle_; }

    // Sends a request and returns the one read that answers it.
    std::vector<std::uint8_t> ask(const Packet& request) {
        bool sent = false;
        std::array<std::uint8_t, proto::MaxPacketSize> buffer{};
        for (int turn = 0; turn < 2000; ++turn) {
            reactor_.runOnce(1);
            if (!sent) {
                // The connection may still be on its way; the request goes once it is there.
                const tcp::IoResult r =
                    tcp::sendSome(handle_, request.bytes().data(), request.bytes().size());
                sent = r.status == tcp::IoResult::Status::Ok;
                if (sent) {
                    EXPECT_EQ(r.bytes, request.bytes().size());
                }
                continue;
            }
            const tcp::IoResult r = tcp::recvSome(handle_, buffer.data(), buffer.size());
            if (r.status == tcp::IoResult::Status::Ok)
                return {buffer.begin(), buffer.begin() + r.bytes};
        }
        ADD_FAILURE() << "no answer";
        return {};
    }
    // The answer must be one whole packet of its opcode's length.
    Packet expect(const Packet& request, Opcode answer) {
        const std::vector<std::uint8_t> read = ask(request);
        EXPECT_GE(read.size(), 2u);
        if (read.size() < 2) return Packet(answer);
        EXPECT_EQ(read[1], static_cast<std::uint8_t>(answer));
        EXPECT_EQ(read.size(), proto::findOpcode(read[1])->sent);
        return Packet::received(read, read.size());
    }

private:
    ManualReactor& reactor_;
    Handle handle_ = kNoHandle;
};

TEST_F(TransferTest, AClientThatWaitsForEveryAnswerGetsEachAsOneWholeReadAsBefore) {
    const std::string content = randomBytes(2500, 3);
    const std::string plan = memberFile("plan.doc", content);
    addGroup("alpha", {"anna"}, {plan});
    OneReadClient old(reactor, server->listeningPort());

    const Packet welcome = old.expect(logInPacket("anna", "secret"), Opcode::RepLogin);
    EXPECT_EQ(welcome.get(proto::RepLogin::result), 1);
    EXPECT_EQ(welcome.get(proto::RepLogin::reason), "");
    // Past the empty reason only the mark, which a reader of the reason never reaches.
    Packet unmarked = welcome;
    unmarked.set(proto::RepLogin::mark, std::vector<std::uint8_t>(proto::kServerMark.size(), 0));
    Packet expected(Opcode::RepLogin);
    expected.set(proto::RepLogin::result, 1);
    EXPECT_TRUE(std::ranges::equal(unmarked.bytes(), expected.bytes()));

    Packet out(Opcode::ReqCheckOut);
    out.set(proto::ReqCheckOut::path, plan);
    EXPECT_EQ(old.expect(out, Opcode::RepCheckOut).get(proto::RepCheckOut::status),
              proto::RepCheckOut::kCheckedOut);
    Packet open(Opcode::ReqFetchOpen);
    open.set(proto::ReqFetchOpen::path, plan);
    const std::string temp =
        old.expect(open, Opcode::RepFetchOpen).get(proto::RepFetchOpen::tempPath);
    std::string got;
    for (std::int64_t offset = 0; offset <= 2048; offset += 1024) {
        Packet chunk(Opcode::ReqFetchChunk);
        chunk.set(proto::ReqFetchChunk::path, plan);
        chunk.set(proto::ReqFetchChunk::tempPath, temp);
        chunk.set(proto::ReqFetchChunk::offset, offset);
        const Packet r = old.expect(chunk, Opcode::RepFetchChunk);
        const auto n = static_cast<std::size_t>(r.get(proto::RepFetchChunk::count));
        const auto data = r.get(proto::RepFetchChunk::data).first(n);
        got.append(data.begin(), data.end());
    }
    EXPECT_EQ(got, content);

    // An upload begun again from its first chunk ends where that chunk ends, as it always did.
    const auto upload = [&](std::int64_t offset, const std::string& data, bool last) {
        Packet c(Opcode::ReqCheckInChunk);
        c.set(proto::ReqCheckInChunk::last, last ? 1 : 0);
        c.set(proto::ReqCheckInChunk::uploadName, "anna__plan.doc");
        c.set(proto::ReqCheckInChunk::offset, offset);
        c.set(proto::ReqCheckInChunk::count, static_cast<std::int64_t>(data.size()));
        const std::span bytes(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        c.set(proto::ReqCheckInChunk::checksum, proto::chunkChecksum(bytes));
        c.set(proto::ReqCheckInChunk::data, bytes);
        return old.expect(c, Opcode::RepCheckInChunk).get(proto::RepCheckInChunk::nextOffset);
    };
    EXPECT_EQ(upload(0, content.substr(0, 1024), false), 1024);
    EXPECT_EQ(upload(1024, content.substr(1024, 1024), false), 2048);
    EXPECT_EQ(upload(0, "short", true), 5);
    Packet commit(Opcode::ReqCheckIn);
    commit.set(proto::ReqCheckIn::path, plan);
    commit.set(proto::ReqCheckIn::uploadName, "anna__plan.doc");
    commit.set(proto::ReqCheckIn::userName, "anna");
    commit.set(proto::ReqCheckIn::comment, "Shorter.");
    EXPECT_EQ(old.expect(commit, Opcode::RepCheckIn).get(proto::RepCheckIn::status), 0);
    EXPECT_EQ(readAll(plan), "short");
    EXPECT_EQ(old.expect(Packet(Opcode::ReqKeepAlive), Opcode::RepKeepAlive).size(), 2u);
}

}  // namespace
}  // namespace zelt::server::test

namespace zelt::server::test {
namespace {

TEST_F(TransferTest, APeerThatAsksWithoutReadingStopsBeingReadWhileOthersGoOn) {
    const std::string plan = memberFile("plan.doc", randomBytes(64 * 1024, 5));
    addGroup("alpha", {"anna", "bob"}, {plan});
    OneReadClient flood(reactor, server->listeningPort());
    ASSERT_EQ(
        flood.expect(logInPacket("anna", "secret"), Opcode::RepLogin).get(proto::RepLogin::result),
        1);
    Packet open(Opcode::ReqFetchOpen);
    open.set(proto::ReqFetchOpen::path, plan);
    const std::string temp =
        flood.expect(open, Opcode::RepFetchOpen).get(proto::RepFetchOpen::tempPath);
    const ConnectionSlot* anna = nullptr;
    for (std::size_t i = 0; i < server->slots().capacity(); ++i) {
        if (server->slots()[i].loggedIn()) anna = &server->slots()[i];
    }
    ASSERT_NE(anna, nullptr);

    // Small socket buffers on the flooding side, and more requests than any buffer holds, none
    // of whose answers is ever read.
    tcp::setBufferSizes(flood.handle(), 16 * 1024, 16 * 1024);
    Packet chunk(Opcode::ReqFetchChunk);
    chunk.set(proto::ReqFetchChunk::path, plan);
    chunk.set(proto::ReqFetchChunk::tempPath, temp);
    std::vector<std::uint8_t> requests;
    for (int i = 0; i < 40000; ++i) {
        requests.insert(requests.end(), chunk.bytes().begin(), chunk.bytes().end());
    }
    std::size_t sent = 0;
    std::size_t mostUnsent = 0;
    for (int turn = 0; turn < 5000 && sent < requests.size(); ++turn) {
        const tcp::IoResult r =
            tcp::sendSome(flood.handle(), requests.data() + sent, requests.size() - sent);
        if (r.ok()) sent += r.bytes;
        reactor.runOnce(0);
        mostUnsent = std::max(mostUnsent, anna->connection->unsentBytes());
    }
    // The flood is held in the sockets' buffers, not in the server's memory.
    EXPECT_LT(sent, requests.size());
    EXPECT_LE(mostUnsent, proto::Connection::DefaultSendBound + 64 * 1024);

    // Another user is served as ever meanwhile.
    auto bob = logIn("bob");
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) {
        bob->send(Packet(Opcode::ReqKeepAlive));
        bob->expect(Opcode::RepKeepAlive);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_LE(anna->connection->unsentBytes(), proto::Connection::DefaultSendBound + 64 * 1024);
}

}  // namespace
}  // namespace zelt::server::test
