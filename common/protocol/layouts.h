#pragma once

#include "common/protocol/fields.h"
#include "common/protocol/opcodes.h"

// One descriptor table per packet layout. Every table starts after the two header bytes
// (marker and opcode) and, as the tests check, covers its packet exactly.
namespace zelt::proto {

// Records that travel inside packets.
namespace DetailRecord {
inline constexpr std::size_t kSize = 1669;
inline constexpr Text time{0, 81};
inline constexpr Text userName{81, 51};
inline constexpr Text comment{132, 1537};
inline constexpr std::size_t kMaxComment = 1024;
inline constexpr FieldInfo kFields[] = {describe("time", time), describe("userName", userName),
                                        describe("comment", comment)};
}  // namespace DetailRecord

// Log-in and session.
namespace ReqLogin {
inline constexpr Text userName{2, 51};
inline constexpr Text password{53, 21};
inline constexpr FieldInfo kFields[] = {describe("userName", userName),
                                        describe("password", password)};
}  // namespace ReqLogin

namespace RepLogin {
inline constexpr Byte result{2};
inline constexpr Text reason{3, 71};
inline constexpr FieldInfo kFields[] = {describe("result", result), describe("reason", reason)};
// Where the server's mark goes: after the NUL that ends an empty reason.
inline constexpr Bytes mark{4, kServerMark.size()};
}  // namespace RepLogin

namespace ReqPipeline {
inline constexpr Int32 features{2};
inline constexpr FieldInfo kFields[] = {describe("features", features)};
}  // namespace ReqPipeline

namespace ReqChangePassword {
inline constexpr Text current{2, 21};
inline constexpr Text replacement{23, 21};
inline constexpr FieldInfo kFields[] = {describe("current", current),
                                        describe("replacement", replacement)};
}  // namespace ReqChangePassword

namespace RepChangePassword {
inline constexpr Byte result{2};
inline constexpr Text reason{3, 81};
inline constexpr FieldInfo kFields[] = {describe("result", result), describe("reason", reason)};
}  // namespace RepChangePassword

namespace RepGroupList {
inline constexpr std::size_t kMaxNames = 50;
inline constexpr Byte count{2};
inline constexpr Repeated<Text> names{{3, 31}, 31, kMaxNames};
inline constexpr std::size_t sizeFor(std::size_t n) { return 3 + 31 * n; }
inline constexpr FieldInfo kFields[] = {describe("count", count), describe("names", names)};
}  // namespace RepGroupList

namespace ReqFileList {
inline constexpr Text groupName{2, 31};
inline constexpr Int32 start{33};
inline constexpr FieldInfo kFields[] = {describe("groupName", groupName),
                                        describe("start", start)};
}  // namespace ReqFileList

namespace RepFileList {
inline constexpr std::size_t kPageSize = 5;
inline constexpr Text groupName{2, 31};
inline constexpr Byte more{33};
inline constexpr Int32 count{34};
inline constexpr Repeated<Text> path{{38, 256}, 307, kPageSize};
inline constexpr Repeated<Text> holder{{294, 51}, 307, kPageSize};
inline constexpr FieldInfo kFields[] = {describe("groupName", groupName), describe("more", more),
                                        describe("count", count), describe("path", path),
                                        describe("holder", holder)};
}  // namespace RepFileList

// Shut-down broadcast: 80 characters, then a byte that is always 0.
namespace PushBroadcast {
inline constexpr Text text{2, 81};
inline constexpr FieldInfo kFields[] = {describe("text", text)};
}  // namespace PushBroadcast

// File properties and check-out.
namespace ReqFileProperties {
inline constexpr Text groupName{2, 31};
inline constexpr Text path{33, 256};
inline constexpr FieldInfo kFields[] = {describe("groupName", groupName), describe("path", path)};
}  // namespace ReqFileProperties

namespace RepFileProperties {
inline constexpr Text groupName{2, 31};
inline constexpr Text path{33, 256};
inline constexpr Text holder{289, 51};
inline constexpr Text checkOutTime{340, 19};
inline constexpr Bytes details{359, DetailRecord::kSize};
inline constexpr FieldInfo kFields[] = {describe("groupName", groupName), describe("path", path),
                                        describe("holder", holder),
                                        describe("checkOutTime", checkOutTime),
                                        describe("details", details)};
}  // namespace RepFileProperties

// ReqCheckOut and ReqVoidCheckOut share one layout, and RepVoidCheckOut has it too.
namespace ReqCheckOut {
inline constexpr Int32 tag{2};
inline constexpr Text path{6, 256};
inline constexpr FieldInfo kFields[] = {describe("tag", tag), describe("path", path)};
}  // namespace ReqCheckOut
namespace ReqVoidCheckOut = ReqCheckOut;
namespace RepVoidCheckOut = ReqCheckOut;

namespace RepCheckOut {
inline constexpr std::uint8_t kRefused = 1;
inline constexpr std::uint8_t kCheckedOut = 3;
// How the reason of a refusal begins when someone holds the file:
// "Already checked-out by '<holder>' at <time>.".
inline constexpr std::string_view kHeldBy = "Already checked-out by";
inline constexpr Int32 tag{2};
inline constexpr Byte status{6};
inline constexpr Text path{7, 256};
inline constexpr Text reason{263, 81};
inline constexpr FieldInfo kFields[] = {describe("tag", tag), describe("status", status),
                                        describe("path", path), describe("reason", reason)};
}  // namespace RepCheckOut

namespace PushCheckOutVoided {
inline constexpr Text path{2, 256};
inline constexpr FieldInfo kFields[] = {describe("path", path)};
}  // namespace PushCheckOutVoided

// View and fetch transfers.
namespace ReqViewOpen {
inline constexpr Text path{2, 256};
inline constexpr FieldInfo kFields[] = {describe("path", path)};
}  // namespace ReqViewOpen

namespace RepViewOpen {
inline constexpr Text path{2, 256};
inline constexpr Text tempPath{258, 256};
inline constexpr Int64 size{514};
inline constexpr FieldInfo kFields[] = {describe("path", path), describe("tempPath", tempPath),
                                        describe("size", size)};
}  // namespace RepViewOpen

namespace ReqViewChunk {
inline constexpr Text path{2, 256};
inline constexpr Text tempPath{258, 256};
inline constexpr Int64 offset{514};
inline constexpr FieldInfo kFields[] = {describe("path", path), describe("tempPath", tempPath),
                                        describe("offset", offset)};
}  // namespace ReqViewChunk

// Chunk statuses of both download families.
inline constexpr std::int32_t kChunkMore = 1;
inline constexpr std::int32_t kChunkLast = 0;
inline constexpr std::int32_t kChunkError = -1;

namespace RepViewChunk {
inline constexpr Int32 status{2};
inline constexpr Text path{6, 256};
inline constexpr Text tempPath{262, 256};
inline constexpr Int64 count{518};
inline constexpr Byte checksum{526};
inline constexpr Bytes data{527, ChunkSize};
inline constexpr FieldInfo kFields[] = {describe("status", status),  describe("path", path),
                                        describe("tempPath", tempPath), describe("count", count),
                                        describe("checksum", checksum), describe("data", data)};
}  // namespace RepViewChunk

// ReqViewClose and ReqFetchClose share one layout.
namespace ReqViewClose {
inline constexpr Text tempPath{2, 256};
inline constexpr FieldInfo kFields[] = {describe("tempPath", tempPath)};
}  // namespace ReqViewClose
namespace ReqFetchClose = ReqViewClose;

namespace ReqFetchOpen {
inline constexpr Int32 tag{2};
inline constexpr Text path{6, 256};
inline constexpr FieldInfo kFields[] = {describe("tag", tag), describe("path", path)};
}  // namespace ReqFetchOpen

namespace RepFetchOpen {
inline constexpr Int32 tag{2};
inline constexpr Text path{6, 256};
inline constexpr Text tempPath{262, 256};
inline constexpr Int64 size{518};
inline constexpr FieldInfo kFields[] = {describe("tag", tag), describe("path", path),
                                        describe("tempPath", tempPath), describe("size", size)};
}  // namespace RepFetchOpen

namespace ReqFetchChunk {
inline constexpr Int32 tag{2};
inline constexpr Text path{6, 256};
inline constexpr Text tempPath{262, 256};
inline constexpr Int64 offset{518};
inline constexpr FieldInfo kFields[] = {describe("tag", tag), describe("path", path),
                                        describe("tempPath", tempPath),
                                        describe("offset", offset)};
}  // namespace ReqFetchChunk

namespace RepFetchChunk {
inline constexpr Int32 tag{2};
inline constexpr Int32 status{6};
inline constexpr Text path{10, 256};
inline constexpr Text tempPath{266, 256};
inline constexpr Int64 count{522};
inline constexpr Byte checksum{530};
inline constexpr Bytes data{531, ChunkSize};
inline constexpr FieldInfo kFields[] = {
    describe("tag", tag),     describe("status", status),     describe("path", path),
    describe("tempPath", tempPath), describe("count", count), describe("checksum", checksum),
    describe("data", data)};
}  // namespace RepFetchChunk

// Check-in.
namespace ReqCheckInChunk {
inline constexpr Int32 tag{2};
inline constexpr Byte last{6};
inline constexpr Text uploadName{7, 256};
inline constexpr Int64 offset{263};
inline constexpr Int64 count{271};
inline constexpr Byte checksum{279};
inline constexpr Bytes data{280, ChunkSize};
inline constexpr FieldInfo kFields[] = {
    describe("tag", tag),       describe("last", last),         describe("uploadName", uploadName),
    describe("offset", offset), describe("count", count),       describe("checksum", checksum),
    describe("data", data)};
}  // namespace ReqCheckInChunk

namespace RepCheckInChunk {
inline constexpr Int32 tag{2};
inline constexpr Byte done{6};
inline constexpr Int64 nextOffset{7};
inline constexpr FieldInfo kFields[] = {describe("tag", tag), describe("done", done),
                                        describe("nextOffset", nextOffset)};
}  // namespace RepCheckInChunk

namespace ReqCheckInAbort {
inline constexpr Text uploadName{2, 256};
inline constexpr FieldInfo kFields[] = {describe("uploadName", uploadName)};
}  // namespace ReqCheckInAbort

namespace ReqCheckIn {
inline constexpr Int32 tag{2};
inline constexpr Text path{6, 256};
inline constexpr Text uploadName{262, 256};
inline constexpr Text userName{518, 51};
inline constexpr Text comment{569, 1025};
inline constexpr FieldInfo kFields[] = {describe("tag", tag), describe("path", path),
                                        describe("uploadName", uploadName),
                                        describe("userName", userName),
                                        describe("comment", comment)};
}  // namespace ReqCheckIn

namespace RepCheckIn {
inline constexpr std::uint8_t kCheckedIn = 0;
inline constexpr std::uint8_t kFailed = 1;
inline constexpr Int32 tag{2};
inline constexpr Byte status{6};
inline constexpr Text reason{7, 81};
inline constexpr FieldInfo kFields[] = {describe("tag", tag), describe("status", status),
                                        describe("reason", reason)};
}  // namespace RepCheckIn

// Notice and messages.
namespace RepNotice {
inline constexpr Text text{2, 1537};
inline constexpr FieldInfo kFields[] = {describe("text", text)};
}  // namespace RepNotice

namespace ReqSendMessage {
inline constexpr Text sender{2, 51};
inline constexpr Text recipients{53, 513};
inline constexpr Text text{566, 1025};
inline constexpr Int32 important{1591};
inline constexpr FieldInfo kFields[] = {describe("sender", sender),
                                        describe("recipients", recipients),
                                        describe("text", text), describe("important", important)};
}  // namespace ReqSendMessage

namespace PushMessage {
inline constexpr Int32 important{2};
inline constexpr Text sender{6, 51};
inline constexpr Text text{57, 1025};
inline constexpr FieldInfo kFields[] = {describe("important", important),
                                        describe("sender", sender), describe("text", text)};
}  // namespace PushMessage

namespace RepSendMessage {
inline constexpr Int32 count{2};
inline constexpr FieldInfo kFields[] = {describe("count", count)};
}  // namespace RepSendMessage

}  // namespace zelt::proto
