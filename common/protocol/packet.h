#pragma once

#include <array>
#include <cstring>

#include "common/protocol/fields.h"
#include "common/protocol/opcodes.h"

namespace zelt::proto {

// One packet in a fixed local area: built zeroed at its full length, or copied from what was
// received into a zeroed area at least as long as its layout.
class Packet {
public:
    // A zeroed packet with its header, as long as the catalogue's sent length unless size says
    // otherwise.
    explicit Packet(Opcode opcode, std::size_t size = 0) {
        const OpcodeInfo* info = findOpcode(static_cast<std::uint8_t>(opcode));
        size_ = std::min(size != 0 ? size : (info != nullptr ? info->sent : 2), MaxPacketSize);
        std::memset(data_.data(), 0, size_ + 1);
        data_[0] = PacketMarker;
        data_[1] = static_cast<std::uint8_t>(opcode);
    }

    // The received bytes, zero-extended to the layout's length so a short packet reads as if its
    // missing tail were zeros. Its size is what arrived or the layout length, whichever is more.
    static Packet received(std::span<const std::uint8_t> bytes, std::size_t layoutSize) {
        Packet p;
        const std::size_t copied = std::min(bytes.size(), MaxPacketSize);
        p.size_ = std::min(std::max(copied, layoutSize), MaxPacketSize);
        std::memset(p.data_.data(), 0, p.size_ + 1);
        std::memcpy(p.data_.data(), bytes.data(), copied);
        return p;
    }

    template <class F>
    auto get(F f) const {
        return view().get(f);
    }
    template <class F, class V>
    void set(F f, V&& v) {
        mutableView().set(f, std::forward<V>(v));
    }

    ConstView view() const { return ConstView{bytes()}; }
    MutableView mutableView() { return MutableView{{data_.data(), size_}}; }
    std::span<const std::uint8_t> bytes() const { return {data_.data(), size_}; }
    std::size_t size() const { return size_; }
    Opcode opcode() const { return static_cast<Opcode>(data_[1]); }
    // Shortens or lengthens the packet (lengthening exposes zero bytes).
    void resize(std::size_t size) {
        size = std::min(size, MaxPacketSize);
        if (size > size_) std::memset(data_.data() + size_, 0, size - size_ + 1);
        size_ = size;
    }

private:
    Packet() = default;

    std::array<std::uint8_t, MaxPacketSize + 1> data_;
    std::size_t size_ = 0;
};

}  // namespace zelt::proto
