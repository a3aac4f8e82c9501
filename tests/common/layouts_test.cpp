#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "common/protocol/dispatch.h"
#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "server/core/store/records.h"

namespace zelt::proto {
namespace {

// Marks every byte each field covers; returns a description of the first fault, or "".
std::string checkTiling(std::span<const FieldInfo> fields, std::size_t begin, std::size_t size) {
    std::vector<int> cover(size, 0);
    for (std::size_t b = 0; b < begin; ++b) cover[b] = 1;
    for (const FieldInfo& f : fields) {
        for (std::size_t k = 0; k < f.count; ++k) {
            for (std::size_t b = 0; b < f.width; ++b) {
                const std::size_t at = f.offset + k * f.stride + b;
                if (at >= size) return std::string(f.name) + " runs past the end";
                if (cover[at]++ != 0) return std::string(f.name) + " overlaps at " +
                                             std::to_string(at);
            }
        }
    }
    for (std::size_t b = 0; b < size; ++b) {
        if (cover[b] == 0) return "byte " + std::to_string(b) + " belongs to no field";
    }
    return "";
}

const std::map<Opcode, std::span<const FieldInfo>>& layouts() {
    static const std::map<Opcode, std::span<const FieldInfo>> table = {
        {Opcode::ReqLogin, ReqLogin::kFields},
        {Opcode::ReqChangePassword, ReqChangePassword::kFields},
        {Opcode::ReqGroupList, {}},
        {Opcode::ReqFileList, ReqFileList::kFields},
        {Opcode::ReqFileProperties, ReqFileProperties::kFields},
        {Opcode::ReqViewOpen, ReqViewOpen::kFields},
        {Opcode::ReqViewChunk, ReqViewChunk::kFields},
        {Opcode::ReqViewClose, ReqViewClose::kFields},
        {Opcode::ReqCheckOut, ReqCheckOut::kFields},
        {Opcode::ReqVoidCheckOut, ReqVoidCheckOut::kFields},
        {Opcode::ReqFetchOpen, ReqFetchOpen::kFields},
        {Opcode::ReqFetchChunk, ReqFetchChunk::kFields},
        {Opcode::ReqFetchClose, ReqFetchClose::kFields},
        {Opcode::ReqCheckInChunk, ReqCheckInChunk::kFields},
        {Opcode::ReqCheckInAbort, ReqCheckInAbort::kFields},
        {Opcode::ReqCheckIn, ReqCheckIn::kFields},
        {Opcode::ReqNotice, {}},
        {Opcode::ReqSendMessage, ReqSendMessage::kFields},
        {Opcode::ReqKeepAlive, {}},
        {Opcode::ReqPipeline, ReqPipeline::kFields},
        {Opcode::RepLogin, RepLogin::kFields},
        {Opcode::PushBroadcast, PushBroadcast::kFields},
        {Opcode::RepChangePassword, RepChangePassword::kFields},
        {Opcode::RepGroupList, RepGroupList::kFields},
        {Opcode::RepFileList, RepFileList::kFields},
        {Opcode::RepFileProperties, RepFileProperties::kFields},
        {Opcode::RepViewOpen, RepViewOpen::kFields},
        {Opcode::RepViewChunk, RepViewChunk::kFields},
        {Opcode::RepCheckOut, RepCheckOut::kFields},
        {Opcode::PushCheckOutVoided, PushCheckOutVoided::kFields},
        {Opcode::RepVoidCheckOut, RepVoidCheckOut::kFields},
        {Opcode::RepFetchOpen, RepFetchOpen::kFields},
        {Opcode::RepFetchChunk, RepFetchChunk::kFields},
        {Opcode::RepCheckInChunk, RepCheckInChunk::kFields},
        {Opcode::RepCheckIn, RepCheckIn::kFields},
        {Opcode::RepNotice, RepNotice::kFields},
        {Opcode::PushMessage, PushMessage::kFields},
        {Opcode::RepSendMessage, RepSendMessage::kFields},
        {Opcode::RepKeepAlive, {}},
    };
    return table;
}

TEST(Layouts, EveryPacketLayoutCoversExactlyItsCatalogueLength) {
    for (const OpcodeInfo& info : catalogue()) {
        SCOPED_TRACE(std::string(info.name));
        auto it = layouts().find(info.opcode);
        ASSERT_NE(it, layouts().end()) << "no layout";
        // The group list is variable; its largest form is the accepted maximum.
        const std::size_t size =
            info.opcode == Opcode::RepGroupList ? info.acceptedUpTo : info.sent;
        EXPECT_EQ(checkTiling(it->second, 2, size), "");
        EXPECT_GE(info.acceptedUpTo, info.sent);
        EXPECT_LE(size, MaxPacketSize);
    }
    EXPECT_EQ(layouts().size(), catalogue().size());
}

TEST(Layouts, RecordsCoverExactlyTheirFileSizes) {
    using namespace zelt::server;
    EXPECT_EQ(checkTiling(AccountRecord::kFields, 0, AccountRecord::kSize), "");
    EXPECT_EQ(checkTiling(FileEntry::kFields, 0, FileEntry::kSize), "");
    EXPECT_EQ(checkTiling(GroupRecord::kFields, 0, GroupRecord::kSize), "");
    EXPECT_EQ(checkTiling(DetailRecord::kFields, 0, DetailRecord::kSize), "");
    EXPECT_EQ(kAccountsFileSize, 255000u);
    EXPECT_EQ(kGroupsFileSize, 8431750u);
}

TEST(Catalogue, AnswersAndDirections) {
    EXPECT_EQ(findOpcode(21)->answer, Opcode::RepChangePassword);
    EXPECT_EQ(findOpcode(29)->answer, Opcode::RepVoidCheckOut);
    EXPECT_EQ(findOpcode(35)->answer, Opcode::RepCheckIn);
    EXPECT_EQ(findOpcode(27)->answer, Opcode::None);
    EXPECT_EQ(findOpcode(19), nullptr);
    EXPECT_EQ(findOpcode(40), nullptr);
    EXPECT_EQ(findOpcode(69), nullptr);
    EXPECT_EQ(findOpcode(89), nullptr);
    EXPECT_EQ(findOpcode(70, Receiver::Server), nullptr);
    EXPECT_EQ(findOpcode(20, Receiver::Client), nullptr);
    for (const OpcodeInfo& info : catalogue()) {
        if (info.answer != Opcode::None) {
            const OpcodeInfo* answer = findOpcode(static_cast<std::uint8_t>(info.answer));
            ASSERT_NE(answer, nullptr);
            EXPECT_EQ(answer->receiver, Receiver::Client) << info.name;
        }
    }
    const std::uint8_t groups[3] = {PacketMarker, 73, 4};
    EXPECT_EQ(framedLength(*findOpcode(73), groups), 3u + 4 * 31);
    EXPECT_EQ(framedLength(*findOpcode(73), std::span(groups, 2)), 0u);
}

TEST(Fields, TextsAreCutToWidthLessOneAndReadUpToTheFirstNul) {
    Packet p(Opcode::RepLogin);
    p.set(RepLogin::reason, std::string(100, 'x'));
    EXPECT_EQ(p.get(RepLogin::reason), std::string(70, 'x'));
    EXPECT_EQ(p.bytes()[73], 0);
    p.set(RepLogin::reason, std::string_view("ab\0cd", 5));
    EXPECT_EQ(p.get(RepLogin::reason), "ab");
    EXPECT_EQ(p.bytes()[5], 0);  // the old tail is zeroed

    // A broadcast carries up to 80 characters with no terminator of its own.
    Packet b(Opcode::PushBroadcast);
    b.set(PushBroadcast::text, std::string(90, 'y'));
    EXPECT_EQ(b.get(PushBroadcast::text), std::string(80, 'y'));
    EXPECT_EQ(b.bytes()[82], 0);
}

TEST(Fields, SixtyFourBitValuesTravelLowWordFirst) {
    Packet p(Opcode::RepViewOpen);
    p.set(RepViewOpen::size, std::int64_t{0x0000000500000007});
    const auto b = p.bytes();
    EXPECT_EQ(b[514], 7);
    EXPECT_EQ(b[518], 5);
    EXPECT_EQ(p.get(RepViewOpen::size), 0x0000000500000007);
    p.set(RepViewOpen::size, -1);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(b[514 + i], 0xFF);
}

TEST(Fields, ShortReceivedPacketsReadAsZeroFilled) {
    // A log-in of 60 bytes: the password field is cut by the end of what arrived.
    std::vector<std::uint8_t> bytes(60, 'p');
    bytes[0] = PacketMarker;
    bytes[1] = 20;
    const Packet p = Packet::received(bytes, 74);
    EXPECT_EQ(p.size(), 74u);
    EXPECT_EQ(p.get(ReqLogin::password), std::string(7, 'p'));
    // A view over fewer bytes than the field gives zeros, never a read past the end.
    const ConstView tiny(std::span(bytes.data(), 3));
    EXPECT_EQ(tiny.get(ReqFileList::start), 0);
    EXPECT_EQ(tiny.get(ReqLogin::userName), "p");
}

TEST(Checksum, ZeroMinusEveryByte) {
    EXPECT_EQ(chunkChecksum({}), 0);
    const std::uint8_t one[] = {1};
    EXPECT_EQ(chunkChecksum(one), 255);
    const std::uint8_t wraps[] = {200, 56};  // sums to 256
    EXPECT_EQ(chunkChecksum(wraps), 0);
    const std::uint8_t some[] = {10, 20, 30};
    EXPECT_EQ(chunkChecksum(some), static_cast<std::uint8_t>(256 - 60));
}

TEST(Dispatch, ServerRules) {
    const std::uint8_t one[] = {PacketMarker};
    EXPECT_FALSE(judgeAtServer(one, true).alive);

    const std::uint8_t unknown[] = {PacketMarker, 99};
    const Judgement u = judgeAtServer(unknown, true);
    EXPECT_TRUE(u.alive);
    EXPECT_EQ(u.handler, nullptr);

    const std::uint8_t badMarker[] = {0x14, 38};
    EXPECT_FALSE(judgeAtServer(badMarker, true).alive);

    const std::uint8_t keepAlive[] = {PacketMarker, 38};
    EXPECT_EQ(judgeAtServer(keepAlive, false).handler, nullptr);  // not logged in
    EXPECT_NE(judgeAtServer(keepAlive, true).handler, nullptr);

    std::vector<std::uint8_t> login(75, 0);
    login[0] = PacketMarker;
    login[1] = 20;
    EXPECT_EQ(judgeAtServer(login, false).handler, nullptr);  // one byte too long
    login.resize(60);
    EXPECT_NE(judgeAtServer(login, false).handler, nullptr);  // short is fine

    std::vector<std::uint8_t> change(74, 0);
    change[0] = PacketMarker;
    change[1] = 21;
    EXPECT_NE(judgeAtServer(change, true).handler, nullptr);  // accepted up to 74
}

TEST(Dispatch, ClientRules) {
    const std::uint8_t reply[] = {PacketMarker, 88};
    EXPECT_NE(judgeAtClient(reply).handler, nullptr);
    const std::uint8_t request[] = {PacketMarker, 38};
    EXPECT_TRUE(judgeAtClient(request).alive);
    EXPECT_EQ(judgeAtClient(request).handler, nullptr);
    std::vector<std::uint8_t> login(84, 0);
    login[0] = PacketMarker;
    login[1] = 70;
    EXPECT_NE(judgeAtClient(login).handler, nullptr);
    login.push_back(0);
    EXPECT_EQ(judgeAtClient(login).handler, nullptr);
}

}  // namespace
}  // namespace zelt::proto
