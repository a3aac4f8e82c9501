#pragma once

#include "common/limits.h"
#include "common/protocol/fields.h"

// The server's table records. The same bytes are the memory image and the files
// Accounts.zelt and Groups.zelt, so every offset here is part of the file format.
namespace zelt::server {

using proto::Byte;
using proto::Bytes;
using proto::describe;
using proto::FieldInfo;
using proto::Int32;
using proto::Repeated;
using proto::Text;

// Record states of both tables.
enum RecordState : std::int32_t { StateFree = 0, StateEnabled = 1, StateDisabled = 2 };

namespace AccountRecord {
inline constexpr std::size_t kSize = 255;
inline constexpr Int32 state{0};
inline constexpr Int32 connected{4};
inline constexpr Text userName{8, 51};
inline constexpr Text password{59, 21};  // scrambled
inline constexpr Text name{80, 31};
inline constexpr Text email{111, 51};
inline constexpr Text dept{162, 31};
inline constexpr Text phone{193, 31};
inline constexpr Text misc{224, 31};
inline constexpr FieldInfo kFields[] = {
    describe("state", state), describe("connected", connected), describe("userName", userName),
    describe("password", password), describe("name", name),     describe("email", email),
    describe("dept", dept),         describe("phone", phone),   describe("misc", misc)};
}  // namespace AccountRecord

namespace FileEntry {
inline constexpr std::size_t kSize = 327;
inline constexpr Text path{0, 256};
inline constexpr Byte checkedOut{256};
inline constexpr Text holder{257, 51};
inline constexpr Text checkOutTime{308, 19};
inline constexpr FieldInfo kFields[] = {describe("path", path), describe("checkedOut", checkedOut),
                                        describe("holder", holder),
                                        describe("checkOutTime", checkOutTime)};
}  // namespace FileEntry

namespace GroupRecord {
inline constexpr std::size_t kSize = 168635;
inline constexpr Int32 state{0};
inline constexpr Text name{4, 31};
inline constexpr Repeated<Text> members{{35, 51}, 51, MaxMemberUsers};
inline constexpr Repeated<Bytes> files{{5135, FileEntry::kSize}, FileEntry::kSize, MaxMemberFiles};
inline constexpr FieldInfo kFields[] = {describe("state", state), describe("name", name),
                                        describe("members", members), describe("files", files)};
}  // namespace GroupRecord

inline constexpr std::size_t kAccountsFileSize = MaxAccounts * AccountRecord::kSize;
inline constexpr std::size_t kGroupsFileSize = MaxGroups * GroupRecord::kSize;

}  // namespace zelt::server
