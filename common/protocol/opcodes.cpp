#include "common/protocol/opcodes.h"

#include <array>

namespace zelt::proto {

namespace {

constexpr Receiver receiverOf(int code) { return code < 70 ? Receiver::Server : Receiver::Client; }

constexpr OpcodeInfo kCatalogue[] = {
#define ZELT_OPCODE_INFO(name, code, sent, accepted, answer) \
    {Opcode::name, #name, sent, accepted, Opcode::answer, receiverOf(code)},
    ZELT_OPCODES(ZELT_OPCODE_INFO)
#undef ZELT_OPCODE_INFO
};

constexpr std::array<const OpcodeInfo*, 256> makeIndex() {
    std::array<const OpcodeInfo*, 256> index{};
    for (const OpcodeInfo& info : kCatalogue) index[static_cast<std::uint8_t>(info.opcode)] = &info;
    return index;
}

constexpr std::array<const OpcodeInfo*, 256> kIndex = makeIndex();

}  // namespace

const OpcodeInfo* findOpcode(std::uint8_t code) { return kIndex[code]; }

const OpcodeInfo* findOpcode(std::uint8_t code, Receiver receiver) {
    const OpcodeInfo* info = kIndex[code];
    return info != nullptr && info->receiver == receiver ? info : nullptr;
}

std::span<const OpcodeInfo> catalogue() { return kCatalogue; }

std::size_t framedLength(const OpcodeInfo& info, std::span<const std::uint8_t> head) {
    if (info.opcode == Opcode::RepGroupList) {
        if (head.size() < 3) return 0;
        return 3 + 31 * static_cast<std::size_t>(head[2]);
    }
    return info.sent;
}

std::uint8_t chunkChecksum(std::span<const std::uint8_t> data) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : data) sum = static_cast<std::uint8_t>(sum - b);
    return sum;
}

}  // namespace zelt::proto
