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

// Descriptors the server keeps for everything but client connections (table files, open
// temporary copies, the window's own) when it sizes its connection table to the system's limit.
inline constexpr std::size_t DescriptorReserve = 128;

inline constexpr int DefaultPort = 32767;
inline constexpr int DefaultRetentionCount = 5;

}  // namespace zelt
