#pragma once

#include <cstddef>

// Capacities of the fixed tables. The table files are images of these tables, so changing a
// value changes the size of the files on disk.
namespace zelt {

inline constexpr std::size_t MaxConnections = 1000;
inline constexpr std::size_t MaxAccounts = 1000;
inline constexpr std::size_t MaxGroups = 50;
inline constexpr std::size_t MaxMemberUsers = 100;
inline constexpr std::size_t MaxMemberFiles = 500;
inline constexpr std::size_t MaxCheckOutRecords = 500;

inline constexpr int DefaultPort = 32767;
inline constexpr int DefaultRetentionCount = 5;

}  // namespace zelt
