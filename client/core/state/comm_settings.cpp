#include "client/core/state/comm_settings.h"

#include "common/limits.h"
#include "common/platform/files.h"

namespace zelt::client {

void CommSettings::load(const std::string& file) {
    // The file holds the scrambled password, which anyone who can read it can unscramble; one
    // copied in with a looser mode would stay readable until the next log-in saves it.
    (void)files::restrictToOwner(file);
    if (files::readRecord(file, bytes_.data(), bytes_.size()) == 0) setPort(DefaultPort);
}

bool CommSettings::save(const std::string& file) const {
    files::AtomicWriteOptions options;
    options.ownerOnly = true;
    return static_cast<bool>(files::writeFileAtomic(file, bytes_.data(), bytes_.size(), options));
}

std::uint32_t CommSettings::address() const {
    return static_cast<std::uint32_t>(view().get(ClientCommRecord::address));
}

std::array<std::uint8_t, 4> CommSettings::octets() const {
    std::array<std::uint8_t, 4> out{};
    for (std::size_t k = 0; k < out.size(); ++k)
        out[k] = view().get(ClientCommRecord::octets.at(k));
    return out;
}

void CommSettings::setAddress(const std::array<std::uint8_t, 4>& octets) {
    std::uint32_t packed = 0;
    for (std::size_t k = 0; k < octets.size(); ++k) {
        packed = (packed << 8) | octets[k];
        mutableView().set(ClientCommRecord::octets.at(k), octets[k]);
    }
    mutableView().set(ClientCommRecord::address, static_cast<std::int32_t>(packed));
}

}  // namespace zelt::client
