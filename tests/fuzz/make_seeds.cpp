// make_fuzz_seeds SERVER_FOLDER CLIENT_FOLDER: writes a few whole exchanges as starting inputs
// for the two fuzz targets, so that fuzzing begins deep inside the protocol (a check-out, an
// upload and its commit; a file list, a fetch, a check-in) instead of having to find packets of
// several hundred bytes byte by byte. The input formats are the targets' own (see their heads).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "common/scramble/scramble.h"

namespace {

using namespace zelt;
using proto::Opcode;
using proto::Packet;
using Bytes = std::vector<std::uint8_t>;

void append(Bytes& out, const Packet& p) { out.insert(out.end(), p.bytes().begin(), p.bytes().end()); }

bool write(const std::string& folder, const std::string& name, const Bytes& bytes) {
    std::FILE* f = std::fopen((folder + "/" + name).c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::span<const std::uint8_t> textBytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

Packet login(const std::string& password) {
    Packet p(Opcode::ReqLogin);
    p.set(proto::ReqLogin::userName, "fuzz");
    p.set(proto::ReqLogin::password, scramble::scramble(password));
    return p;
}

Packet pathRequest(Opcode op, const std::string& path) {
    Packet p(op);
    p.set(proto::ReqCheckOut::tag, 1);
    p.set(proto::ReqCheckOut::path, path);
    return p;
}

std::vector<Bytes> serverSeeds() {
    std::vector<Bytes> seeds;
    const std::string a = "docs/a.txt";
    // Logged in by the harness: lists, a check-out, an upload, its commit.
    Bytes checkIn{0x01};
    append(checkIn, Packet(Opcode::ReqGroupList));
    Packet list(Opcode::ReqFileList);
    list.set(proto::ReqFileList::groupName, "Team");
    append(checkIn, list);
    append(checkIn, pathRequest(Opcode::ReqCheckOut, a));
    Packet chunk(Opcode::ReqCheckInChunk);
    chunk.set(proto::ReqCheckInChunk::last, 1);
    chunk.set(proto::ReqCheckInChunk::uploadName, "fuzz__a.txt");
    chunk.set(proto::ReqCheckInChunk::count, 3);
    chunk.set(proto::ReqCheckInChunk::checksum, proto::chunkChecksum(textBytes("new")));
    chunk.set(proto::ReqCheckInChunk::data, textBytes("new"));
    append(checkIn, chunk);
    Packet commit(Opcode::ReqCheckIn);
    commit.set(proto::ReqCheckIn::path, a);
    commit.set(proto::ReqCheckIn::uploadName, "fuzz__a.txt");
    commit.set(proto::ReqCheckIn::userName, "fuzz");
    commit.set(proto::ReqCheckIn::comment, "edited");
    append(checkIn, commit);
    seeds.push_back(checkIn);
    // The same cut into reads of 7 bytes.
    Bytes cut = checkIn;
    cut[0] = 0x01 | (7 << 1);
    seeds.push_back(cut);

    // Transfers, properties, void, messages and the rest of a session.
    Bytes session{0x01};
    append(session, pathRequest(Opcode::ReqFetchOpen, a));
    Packet view(Opcode::ReqViewOpen);
    view.set(proto::ReqViewOpen::path, "docs/b.txt");
    append(session, view);
    Packet properties(Opcode::ReqFileProperties);
    properties.set(proto::ReqFileProperties::groupName, "Team");
    properties.set(proto::ReqFileProperties::path, a);
    append(session, properties);
    append(session, pathRequest(Opcode::ReqCheckOut, "docs/b.txt"));
    append(session, pathRequest(Opcode::ReqVoidCheckOut, "docs/b.txt"));
    Packet message(Opcode::ReqSendMessage);
    message.set(proto::ReqSendMessage::sender, "fuzz");
    message.set(proto::ReqSendMessage::recipients, "@Team;admin");
    message.set(proto::ReqSendMessage::text, "hello");
    append(session, message);
    append(session, Packet(Opcode::ReqNotice));
    append(session, Packet(Opcode::ReqKeepAlive));
    Packet password(Opcode::ReqChangePassword);
    password.set(proto::ReqChangePassword::current, scramble::scramble("pw"));
    password.set(proto::ReqChangePassword::replacement, scramble::scramble("new"));
    append(session, password);
    seeds.push_back(session);

    // Guessing: wrong passwords, then the right one.
    Bytes guessing{0x00};
    for (int i = 0; i < 5; ++i) append(guessing, login("wrong"));
    append(guessing, login("pw"));
    seeds.push_back(guessing);
    return seeds;
}

// The client's input: pieces of a fixed size, each starting with the user's command.
class ClientInput {
public:
    static constexpr std::size_t kPiece = 128;
    static constexpr std::uint8_t kNoCommand = 0;

    ClientInput() : bytes_{static_cast<std::uint8_t>(1 | ((kPiece - 1) << 1))} {}

    // The command, then the packets; the last piece is filled up with zeros, which a
    // connection drops between packets.
    void add(std::uint8_t command, const std::vector<Packet>& packets) {
        Bytes stream;
        for (const Packet& p : packets) append(stream, p);
        std::size_t at = 0;
        bool first = true;
        do {
            bytes_.push_back(first ? command : kNoCommand);
            first = false;
            for (std::size_t k = 0; k + 1 < kPiece; ++k) {
                bytes_.push_back(at < stream.size() ? stream[at] : 0);
                ++at;
            }
        } while (at < stream.size());
    }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

std::vector<Bytes> clientSeeds() {
    const std::string a = "docs/a.txt";
    const std::string b = "docs/b.txt";
    ClientInput input;

    Packet groups(Opcode::RepGroupList, proto::RepGroupList::sizeFor(1));
    groups.set(proto::RepGroupList::count, 1);
    groups.set(proto::RepGroupList::names.at(0), "Team");
    Packet files(Opcode::RepFileList);
    files.set(proto::RepFileList::groupName, "Team");
    files.set(proto::RepFileList::count, 2);
    files.set(proto::RepFileList::path.at(0), a);
    files.set(proto::RepFileList::path.at(1), b);
    files.set(proto::RepFileList::holder.at(1), "anna");
    input.add(ClientInput::kNoCommand, {groups, files});
    input.add(12, {});  // the group line: its file list

    auto checkedOut = [](int tag, const std::string& path) {
        Packet p(Opcode::RepCheckOut);
        p.set(proto::RepCheckOut::tag, tag);
        p.set(proto::RepCheckOut::status, proto::RepCheckOut::kCheckedOut);
        p.set(proto::RepCheckOut::path, path);
        return p;
    };
    input.add(2, {checkedOut(0, a), checkedOut(1, b)});

    const std::string content = "working copy";
    Packet opened(Opcode::RepFetchOpen);
    opened.set(proto::RepFetchOpen::path, a);
    opened.set(proto::RepFetchOpen::tempPath, "/srv/Temp/fuz1.tmp");
    opened.set(proto::RepFetchOpen::size, static_cast<std::int64_t>(content.size()));
    Packet chunk(Opcode::RepFetchChunk);
    chunk.set(proto::RepFetchChunk::status, proto::kChunkLast);
    chunk.set(proto::RepFetchChunk::path, a);
    chunk.set(proto::RepFetchChunk::tempPath, "/srv/Temp/fuz1.tmp");
    chunk.set(proto::RepFetchChunk::count, static_cast<std::int64_t>(content.size()));
    chunk.set(proto::RepFetchChunk::checksum, proto::chunkChecksum(textBytes(content)));
    chunk.set(proto::RepFetchChunk::data, textBytes(content));
    input.add(4, {opened, chunk});

    Packet stored(Opcode::RepCheckInChunk);
    stored.set(proto::RepCheckInChunk::done, 1);
    stored.set(proto::RepCheckInChunk::nextOffset, static_cast<std::int64_t>(content.size()));
    Packet committed(Opcode::RepCheckIn);
    committed.set(proto::RepCheckIn::status, proto::RepCheckIn::kCheckedIn);
    input.add(5, {stored, committed});

    Packet properties(Opcode::RepFileProperties);
    properties.set(proto::RepFileProperties::groupName, "Team");
    properties.set(proto::RepFileProperties::path, b);
    properties.set(proto::RepFileProperties::holder, "anna");
    input.add(3, {properties});
    Packet viewOpened(Opcode::RepViewOpen);
    viewOpened.set(proto::RepViewOpen::path, b);
    viewOpened.set(proto::RepViewOpen::tempPath, "/srv/Temp/fuz2.tmp");
    viewOpened.set(proto::RepViewOpen::size, 0);
    Packet viewChunk(Opcode::RepViewChunk);
    viewChunk.set(proto::RepViewChunk::status, proto::kChunkLast);
    viewChunk.set(proto::RepViewChunk::path, b);
    viewChunk.set(proto::RepViewChunk::tempPath, "/srv/Temp/fuz2.tmp");
    input.add(7, {viewOpened, viewChunk});

    Packet voided(Opcode::PushCheckOutVoided);
    voided.set(proto::PushCheckOutVoided::path, b);
    Packet message(Opcode::PushMessage);
    message.set(proto::PushMessage::sender, "anna");
    message.set(proto::PushMessage::text, "hello\nthere");
    Packet broadcast(Opcode::PushBroadcast);
    broadcast.set(proto::PushBroadcast::text, "Server will be shut down in 5 minute(s).");
    Packet notice(Opcode::RepNotice);
    notice.set(proto::RepNotice::text, "Welcome");
    Packet changed(Opcode::RepChangePassword);
    changed.set(proto::RepChangePassword::result, 1);
    Packet count(Opcode::RepSendMessage);
    count.set(proto::RepSendMessage::count, 2);
    input.add(11, {voided, message, broadcast, notice, changed});
    input.add(10, {count, Packet(Opcode::RepKeepAlive)});
    input.add(6, {});

    Bytes refused{0x00};
    Packet no(Opcode::RepLogin);
    no.set(proto::RepLogin::reason, "Password not match.");
    append(refused, no);
    return {input.bytes(), refused};
}

bool writeAll(const std::string& folder, const std::vector<Bytes>& seeds) {
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        if (!write(folder, "seed-" + std::to_string(i), seeds[i])) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SERVER_FOLDER CLIENT_FOLDER\n", argv[0]);
        return 2;
    }
    if (!writeAll(argv[1], serverSeeds()) || !writeAll(argv[2], clientSeeds())) {
        std::perror("make_fuzz_seeds");
        return 1;
    }
    return 0;
}
