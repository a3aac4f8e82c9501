#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/platform/files.h"
#include "server/core/repository/repository.h"
#include "tests/server/server_fixture.h"

namespace zelt::server::test {

using proto::Opcode;
using proto::Packet;
using zelt::test::readAll;
using zelt::test::writeAll;

// A server with the users anna and bob (and carl, in no group) and member files under docs/,
// with the client's side of each repository exchange as one call.
class RepositoryFixture : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        EXPECT_NE(files::createFolder(dir.file("docs")), files::FolderResult::Failed);
        addAccount("anna");
        addAccount("bob");
        addAccount("carl");
    }

    std::string memberFile(const std::string& name, const std::string& content) {
        const std::string path = dir.file("docs/" + name);
        writeAll(path, content);
        return path;
    }

    static std::string randomBytes(std::size_t n, unsigned seed = 7) {
        std::mt19937 rng(seed);
        std::string s(n, '\0');
        for (char& c : s) c = static_cast<char>(rng() & 0xFF);
        return s;
    }

    // The group table as a start would read it now from the disk.
    std::unique_ptr<GroupTable> groupsOnDisk() const { return Store::readGroups(server->paths()); }
    // The holder of a group's entry of path, "" when free.
    static std::string holderIn(const GroupTable& groups, int group, const std::string& path) {
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            const auto e = groups.fileEntry(static_cast<std::size_t>(group), k);
            if (e.get(FileEntry::path) == path) {
                return e.get(FileEntry::checkedOut) == 1 ? e.get(FileEntry::holder) : "";
            }
        }
        return "<absent>";
    }

    static Packet checkOut(TestPeer& peer, const std::string& path,
                           Opcode op = Opcode::ReqCheckOut) {
        Packet p(op);
        p.set(proto::ReqCheckOut::tag, 42);
        p.set(proto::ReqCheckOut::path, path);
        peer.send(p);
        const Packet reply =
            peer.expect(op == Opcode::ReqCheckOut ? Opcode::RepCheckOut : Opcode::RepVoidCheckOut);
        EXPECT_EQ(reply.get(proto::RepCheckOut::tag), 42);
        return reply;
    }
    static Packet voidCheckOut(TestPeer& peer, const std::string& path) {
        return checkOut(peer, path, Opcode::ReqVoidCheckOut);
    }

    static Packet openFetch(TestPeer& peer, const std::string& path) {
        Packet p(Opcode::ReqFetchOpen);
        p.set(proto::ReqFetchOpen::tag, 3);
        p.set(proto::ReqFetchOpen::path, path);
        peer.send(p);
        const Packet reply = peer.expect(Opcode::RepFetchOpen);
        EXPECT_EQ(reply.get(proto::RepFetchOpen::tag), 3);
        EXPECT_EQ(reply.get(proto::RepFetchOpen::path), path);
        return reply;
    }
    static Packet fetchChunk(TestPeer& peer, const std::string& path, const std::string& temp,
                             std::int64_t offset) {
        Packet p(Opcode::ReqFetchChunk);
        p.set(proto::ReqFetchChunk::tag, 3);
        p.set(proto::ReqFetchChunk::path, path);
        p.set(proto::ReqFetchChunk::tempPath, temp);
        p.set(proto::ReqFetchChunk::offset, offset);
        peer.send(p);
        return peer.expect(Opcode::RepFetchChunk);
    }

    // A whole fetch as a client runs it, checking every chunk on the way: status 1 exactly for
    // full chunks, the checksum, the echoed names. Returns the reassembled content.
    std::string fetch(TestPeer& peer, const std::string& path) {
        const Packet opened = openFetch(peer, path);
        const std::string temp = opened.get(proto::RepFetchOpen::tempPath);
        EXPECT_TRUE(temp.rfind(files::join(server->paths().temp, ""), 0) == 0) << temp;
        std::string content;
        for (;;) {
            const Packet c =
                fetchChunk(peer, path, temp, static_cast<std::int64_t>(content.size()));
            const auto count = static_cast<std::size_t>(c.get(proto::RepFetchChunk::count));
            const auto data = c.get(proto::RepFetchChunk::data).first(count);
            EXPECT_EQ(c.get(proto::RepFetchChunk::tempPath), temp);
            EXPECT_EQ(c.get(proto::RepFetchChunk::checksum), proto::chunkChecksum(data));
            content.append(reinterpret_cast<const char*>(data.data()), count);
            const std::int32_t status = c.get(proto::RepFetchChunk::status);
            if (status != proto::kChunkMore) {
                EXPECT_EQ(status, proto::kChunkLast);
                EXPECT_LT(count, proto::ChunkSize);
                break;
            }
            EXPECT_EQ(count, proto::ChunkSize);
        }
        EXPECT_EQ(opened.get(proto::RepFetchOpen::size), static_cast<std::int64_t>(content.size()));
        EXPECT_FALSE(files::isFile(temp)) << "the copy outlived its last chunk";
        return content;
    }

    static Packet uploadChunk(TestPeer& peer, const std::string& name, std::int64_t offset,
                              std::string_view data, bool last, int checksumError = 0) {
        Packet p(Opcode::ReqCheckInChunk);
        p.set(proto::ReqCheckInChunk::tag, 5);
        p.set(proto::ReqCheckInChunk::last, last ? 1 : 0);
        p.set(proto::ReqCheckInChunk::uploadName, name);
        p.set(proto::ReqCheckInChunk::offset, offset);
        p.set(proto::ReqCheckInChunk::count, static_cast<std::int64_t>(data.size()));
        const std::span<const std::uint8_t> bytes(
            reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        p.set(proto::ReqCheckInChunk::checksum,
              static_cast<std::uint8_t>(proto::chunkChecksum(bytes) + checksumError));
        p.set(proto::ReqCheckInChunk::data, bytes);
        peer.send(p);
        const Packet reply = peer.expect(Opcode::RepCheckInChunk);
        EXPECT_EQ(reply.get(proto::RepCheckInChunk::tag), 5);
        return reply;
    }

    // Uploads content as a client does: full chunks with the flag 0, the last (short, perhaps
    // empty) chunk with the flag 1.
    void upload(TestPeer& peer, const std::string& name, const std::string& content) {
        std::int64_t offset = 0;
        for (;;) {
            const std::size_t n = std::min(proto::ChunkSize, content.size() - offset);
            const bool last = n < proto::ChunkSize;
            const Packet r =
                uploadChunk(peer, name, offset, std::string_view(content).substr(offset, n), last);
            ASSERT_EQ(r.get(proto::RepCheckInChunk::nextOffset),
                      offset + static_cast<std::int64_t>(n));
            ASSERT_EQ(r.get(proto::RepCheckInChunk::done), last ? 1 : 0);
            offset += static_cast<std::int64_t>(n);
            if (last) return;
        }
    }

    static Packet commit(TestPeer& peer, const std::string& path, const std::string& name,
                         const std::string& comment, const std::string& userName = "mallory") {
        Packet p(Opcode::ReqCheckIn);
        p.set(proto::ReqCheckIn::tag, 9);
        p.set(proto::ReqCheckIn::path, path);
        p.set(proto::ReqCheckIn::uploadName, name);
        p.set(proto::ReqCheckIn::userName, userName);
        p.set(proto::ReqCheckIn::comment, comment);
        peer.send(p);
        const Packet reply = peer.expect(Opcode::RepCheckIn);
        EXPECT_EQ(reply.get(proto::RepCheckIn::tag), 9);
        return reply;
    }

    VersionStore& versions() { return server->repository().versions(); }
    std::string detail(const std::string& path, const std::string& stamp, proto::Text field) {
        const auto d = versions().details(path, stamp);
        return d ? proto::ConstView{*d}.get(field) : "<none>";
    }
};

}  // namespace zelt::server::test
