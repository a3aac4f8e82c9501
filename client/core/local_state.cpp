#include "client/core/local_state.h"

#include "common/platform/files.h"
#include "common/platform/settings.h"

namespace zelt::client {

namespace {

constexpr const char* kConfigEnv = "ZELT_CLIENT_CONFIG";
constexpr const char* kDefaultConfig = "/etc/zelt/client.conf";
constexpr const char* kCurrentFolder = ".";

std::string withoutTrailingSlash(std::string path) {
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Texts on disk and on the wire hold at most kMaxPath characters, so paths compare cut.
bool samePath(const std::string& a, const std::string& b) {
    return proto::capped(a, kMaxPath) == proto::capped(b, kMaxPath);
}

}  // namespace

// --- CommSettings ---

void CommSettings::load(const std::string& file) {
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

// --- CheckOutTable ---

void CheckOutTable::load(const std::string& file) {
    files::readRecord(file, bytes_.data(), bytes_.size());
}

bool CheckOutTable::save(const std::string& file) const {
    return static_cast<bool>(files::writeFileAtomic(file, bytes_.data(), bytes_.size()));
}

proto::ConstView CheckOutTable::record(int index) const {
    if (index < 0 || index >= size()) return proto::ConstView{};
    return proto::ConstView{bytes_}.sub(static_cast<std::size_t>(index) * CheckOutRecord::kSize,
                                        CheckOutRecord::kSize);
}

proto::MutableView CheckOutTable::mutableRecord(int index) {
    if (index < 0 || index >= size()) return proto::MutableView{};
    return proto::MutableView{bytes_}.sub(static_cast<std::size_t>(index) * CheckOutRecord::kSize,
                                          CheckOutRecord::kSize);
}

std::uint8_t CheckOutTable::state(int index) const {
    return record(index).get(CheckOutRecord::state);
}

std::string CheckOutTable::path(int index) const {
    return record(index).get(CheckOutRecord::path);
}

std::string CheckOutTable::workingPath(int index) const {
    return record(index).get(CheckOutRecord::workingPath);
}

void CheckOutTable::set(int index, std::uint8_t state, const std::string& path,
                        const std::string& workingPath) {
    proto::MutableView r = mutableRecord(index);
    r.clear(0, CheckOutRecord::kSize);
    r.set(CheckOutRecord::state, state);
    r.set(CheckOutRecord::path, path);
    r.set(CheckOutRecord::workingPath, workingPath);
}

void CheckOutTable::setFetched(int index, const std::string& workingPath) {
    proto::MutableView r = mutableRecord(index);
    r.set(CheckOutRecord::state, RecordFetched);
    r.set(CheckOutRecord::workingPath, workingPath);
}

void CheckOutTable::clear(int index) {
    mutableRecord(index).clear(0, CheckOutRecord::kSize);
}

int CheckOutTable::findInUse(const std::string& path) const {
    for (int i = 0; i < size(); ++i) {
        if (state(i) != RecordFree && samePath(this->path(i), path)) return i;
    }
    return kNone;
}

int CheckOutTable::findHeld(const std::string& path) const {
    for (int i = 0; i < size(); ++i) {
        const std::uint8_t s = state(i);
        if (s != RecordFree && s != RecordRefused && samePath(this->path(i), path)) return i;
    }
    return kNone;
}

int CheckOutTable::findByWorkingPath(const std::string& workingPath) const {
    for (int i = 0; i < size(); ++i) {
        if (state(i) == RecordFetched && this->workingPath(i) == workingPath) return i;
    }
    return kNone;
}

int CheckOutTable::markRequested(const std::string& path) {
    if (findInUse(path) != kNone) return kNone;
    for (int i = 0; i < size(); ++i) {
        if (state(i) == RecordFree) {
            set(i, RecordRequested, path, "");
            return i;
        }
    }
    return kNone;
}

int CheckOutTable::checkedOutCount() const {
    int count = 0;
    for (int i = 0; i < size(); ++i) {
        const std::uint8_t s = state(i);
        if (s == RecordCheckedOut || s == RecordFetched) ++count;
    }
    return count;
}

// --- places ---

ClientPlaces preparePlaces(const PlaceOptions& options) {
    ClientPlaces places;
    std::string data = withoutTrailingSlash(options.dataDirectory);
    if (data.empty()) data = settings::machineDataDirectory(kConfigEnv, kDefaultConfig);
    places.dataDirectory = data.empty() ? std::string(kCurrentFolder) : data;

    std::string user = withoutTrailingSlash(options.userFolder);
    if (user.empty()) {
        const std::string documents = settings::documentsFolder();
        if (!documents.empty()) user = files::join(documents, "Zelt");
    }
    // Without a folder of its own the client keeps its working files beside its records.
    if (user.empty() || files::createFolder(user) == files::FolderResult::Failed) {
        user = places.dataDirectory;
    }
    places.userFolder = user;
    places.working = files::join(user, "Working");
    places.temp = files::join(user, "Temp");
    places.backup = files::join(user, "Backup");
    places.workingCreated = files::createFolder(places.working) == files::FolderResult::Created;
    // Temp and Backup that cannot be made show up as the failure of the copy that needs them.
    (void)files::createFolder(places.temp);
    (void)files::createFolder(places.backup);

    places.commFile = files::join(places.dataDirectory, "Comm.zelt");
    places.checkOutFile = files::join(places.dataDirectory, "Chkout.zelt");
    places.notifyFile = files::join(places.dataDirectory, "Notify.zelt");
    return places;
}

bool safeBaseName(const std::string& path, std::string* name) {
    const std::string base = files::baseName(path);
    if (base.empty() || base == "." || base == "..") return false;
    *name = base;
    return true;
}

}  // namespace zelt::client
