#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zelt::proto {

inline constexpr std::uint8_t PacketMarker = 0x13;
inline constexpr std::size_t MaxPacketSize = 8192;
inline constexpr std::size_t ChunkSize = 1024;

// The opcode catalogue: name, opcode, length sent, largest length the receiver handles, and
// the opcode that answers it (None for replies, pushes and the three unanswered requests).
// Everything that depends on an opcode is expanded from these lists: the enum, the catalogue
// table, and each side's dispatch (dispatch.h), so a handler cannot be missing or misnamed.
//
// The requests, which the server receives:
#define ZELT_REQUESTS(X)                                  \
    X(ReqLogin, 20, 74, 74, RepLogin)                     \
    X(ReqChangePassword, 21, 44, 74, RepChangePassword)   \
    X(ReqGroupList, 22, 2, 2, RepGroupList)               \
    X(ReqFileList, 23, 37, 37, RepFileList)               \
    X(ReqFileProperties, 24, 289, 289, RepFileProperties) \
    X(ReqViewOpen, 25, 258, 258, RepViewOpen)             \
    X(ReqViewChunk, 26, 522, 522, RepViewChunk)           \
    X(ReqViewClose, 27, 258, 258, None)                   \
    X(ReqCheckOut, 28, 262, 262, RepCheckOut)             \
    X(ReqVoidCheckOut, 29, 262, 262, RepVoidCheckOut)     \
    X(ReqFetchOpen, 30, 262, 262, RepFetchOpen)           \
    X(ReqFetchChunk, 31, 526, 526, RepFetchChunk)         \
    X(ReqFetchClose, 32, 258, 258, None)                  \
    X(ReqCheckInChunk, 33, 1304, 1304, RepCheckInChunk)   \
    X(ReqCheckInAbort, 34, 258, 258, None)                \
    X(ReqCheckIn, 35, 1594, 1594, RepCheckIn)             \
    X(ReqNotice, 36, 2, 2, RepNotice)                     \
    X(ReqSendMessage, 37, 1595, 1595, RepSendMessage)     \
    X(ReqKeepAlive, 38, 2, 2, RepKeepAlive)               \
    X(ReqPipeline, 39, 6, 6, None)

// The answers and pushes, which the client receives:
#define ZELT_ANSWERS(X)                                   \
    X(RepLogin, 70, 74, 84, None)                         \
    X(PushBroadcast, 71, 83, 83, None)                    \
    X(RepChangePassword, 72, 84, 84, None)                \
    X(RepGroupList, 73, 3, 1553, None)                    \
    X(RepFileList, 74, 1573, 1573, None)                  \
    X(RepFileProperties, 75, 2028, 2028, None)            \
    X(RepViewOpen, 76, 522, 522, None)                    \
    X(RepViewChunk, 77, 1551, 1551, None)                 \
    X(RepCheckOut, 78, 344, 344, None)                    \
    X(PushCheckOutVoided, 79, 258, 258, None)             \
    X(RepVoidCheckOut, 80, 262, 262, None)                \
    X(RepFetchOpen, 81, 526, 526, None)                   \
    X(RepFetchChunk, 82, 1555, 1555, None)                \
    X(RepCheckInChunk, 83, 15, 15, None)                  \
    X(RepCheckIn, 84, 88, 88, None)                       \
    X(RepNotice, 85, 1539, 1539, None)                    \
    X(PushMessage, 86, 1082, 1082, None)                  \
    X(RepSendMessage, 87, 6, 6, None)                     \
    X(RepKeepAlive, 88, 2, 2, None)

// Requests in flight (protocol notes).
//
// The exchange began lock-step: a client sends one request and waits for its answer, and file
// data moves 1024 bytes per round trip. Servers of that kind take whatever one read returns as
// one packet, so two requests that arrive glued together are lost. Over a link with a round trip
// of 10 ms that caps a transfer near 0.1 MB/s, so this server and client can agree to keep many
// requests in flight. The agreement must never reach a peer that does not know it:
//
// - The server says it can: a server that puts packets together again from the byte stream and
//   answers every connection's requests in the order they came writes kServerMark into RepLogin
//   right after the (empty) reason text of a successful log-in. A client reading the reason as
//   text stops at its NUL and sees it empty; the packet keeps its length and its fields.
// - The client answers only such a server: right after a marked RepLogin it sends ReqPipeline
//   (opcode 39, no answer) with the features it will use. An unmarked server never receives
//   ReqPipeline nor a second request before the first one's answer, and the agreement costs it
//   no round trip: the client does not wait for anything before its first request.
// - From then on the client may have many requests in flight and matches answers to requests by
//   their order. Chunk answers carry no offset: the n-th chunk answer is for the n-th chunk asked.
// - A download copy is deleted by the server when it reads its last chunk, so the client asks
//   for the last chunk only once every chunk before it has arrived sound, and never past the end.
// - With kPipelineUploads, check-in chunks are written at their offsets and may arrive in any
//   order (a damaged chunk is sent again while later ones are already stored); the client
//   commits only after every chunk has been acknowledged. Without it a chunk cuts the upload
//   file at its end, as a lock-step client expects.
// - Nothing else changes: every packet keeps its catalogue length and layout, and a client that
//   never sends ReqPipeline sees exactly the answers it always saw.

#define ZELT_OPCODES(X) ZELT_REQUESTS(X) ZELT_ANSWERS(X)

enum class Opcode : std::uint8_t {
    None = 0,
#define ZELT_OPCODE_ENUM(name, code, sent, accepted, answer) name = code,
    ZELT_OPCODES(ZELT_OPCODE_ENUM)
#undef ZELT_OPCODE_ENUM
};

// Which program receives packets of an opcode.
enum class Receiver { Server, Client };

struct OpcodeInfo {
    Opcode opcode;
    std::string_view name;
    std::size_t sent;  // for RepGroupList the length without names: 3 + 31 per name follows
    std::size_t acceptedUpTo;
    Opcode answer;
    Receiver receiver;
};

// The catalogue entry of an opcode byte, or nullptr when the byte names no packet.
const OpcodeInfo* findOpcode(std::uint8_t code);
// Same, only when the opcode is one that `receiver` receives.
const OpcodeInfo* findOpcode(std::uint8_t code, Receiver receiver);
std::span<const OpcodeInfo> catalogue();

// The full length of the packet that starts at the front of `head`, judged by its opcode. For
// RepGroupList the count byte decides; 0 means more bytes are needed to tell.
std::size_t framedLength(const OpcodeInfo& info, std::span<const std::uint8_t> head);

// The bytes a server that takes requests in flight writes after the empty reason of a
// successful RepLogin (see the notes above).
inline constexpr std::string_view kServerMark = "ZELT pipelined/1";
// Features a client names in ReqPipeline.
inline constexpr std::int32_t kPipelineUploads = 1;

// The 8-bit chunk checksum: 0 minus every data byte, modulo 256.
std::uint8_t chunkChecksum(std::span<const std::uint8_t> data);

}  // namespace zelt::proto
