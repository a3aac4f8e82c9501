#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/protocol/fields.h"

// The last connection settings, Comm.zelt in the data directory. The file is read and written
// as the exact byte image below, so every offset is part of the file format.
namespace zelt::client {

using proto::Byte;
using proto::Bytes;
using proto::describe;
using proto::FieldInfo;
using proto::Int32;
using proto::Repeated;
using proto::Text;

// The address is kept twice: as one number with the first octet in the most significant byte
// (what the Log-in dialog's address entry takes) and as four octets (what a connection is made
// to).
namespace ClientCommRecord {
inline constexpr std::size_t kSize = 84;
inline constexpr Int32 address{0};
inline constexpr Repeated<Byte> octets{{4}, 1, 4};
inline constexpr Int32 port{8};
inline constexpr Text userName{12, 51};
inline constexpr Text password{63, 21};  // scrambled
inline constexpr FieldInfo kFields[] = {describe("address", address), describe("octets", octets),
                                        describe("port", port), describe("userName", userName),
                                        describe("password", password)};
}  // namespace ClientCommRecord

// The Comm.zelt record in memory.
class CommSettings {
public:
    CommSettings() { bytes_.fill(0); }

    // Reads Comm.zelt; when nothing could be read the port is the default one.
    void load(const std::string& file);
    // Writes the whole record, readable by its owner only: it holds the scrambled password.
    bool save(const std::string& file) const;
    void clear() { bytes_.fill(0); }

    std::uint32_t address() const;
    std::array<std::uint8_t, 4> octets() const;
    int port() const { return view().get(ClientCommRecord::port); }
    std::string userName() const { return view().get(ClientCommRecord::userName); }
    std::string password() const { return view().get(ClientCommRecord::password); }

    // Stores an address given as four octets in both of its forms.
    void setAddress(const std::array<std::uint8_t, 4>& octets);
    void setPort(int port) { mutableView().set(ClientCommRecord::port, port); }
    void setUserName(const std::string& name) {
        mutableView().set(ClientCommRecord::userName, name);
    }
    void setPassword(const std::string& scrambled) {
        mutableView().set(ClientCommRecord::password, scrambled);
    }

    const std::array<std::uint8_t, ClientCommRecord::kSize>& bytes() const { return bytes_; }

private:
    proto::ConstView view() const { return proto::ConstView{bytes_}; }
    proto::MutableView mutableView() { return proto::MutableView{bytes_}; }

    std::array<std::uint8_t, ClientCommRecord::kSize> bytes_;
};

}  // namespace zelt::client
