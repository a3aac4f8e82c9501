#include "server/core/repository/version_store.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iterator>

#include "common/platform/files.h"

namespace zelt::server {

namespace {

constexpr std::string_view kFileSuffix = ".__file__";
constexpr std::string_view kDetailSuffix = ".__detail__";
// Only names below this value are taken for stamps when pruning.
constexpr std::int64_t kStampLimit = 50000000000000000LL;

// The stamp value of a name "<digits><suffix>", or nothing.
std::optional<std::int64_t> stampValue(std::string_view name, std::string_view suffix) {
    const auto at = name.find(suffix);
    if (at == std::string_view::npos || at == 0) return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + at, value);
    if (error != std::errc() || end != name.data() + at) return std::nullopt;
    return value;
}

}  // namespace

std::string VersionStore::folderName(std::string_view path) {
    std::string name(path);
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == ':' || c == '\\' || c == '/'; }, '-');
    return name;
}

std::string VersionStore::folderOf(std::string_view path) const {
    return files::join(filesFolder_, folderName(path));
}

std::string VersionStore::versionFile(std::string_view path, std::string_view stamp) const {
    return files::join(folderOf(path), std::string(stamp) + std::string(kFileSuffix));
}

std::string VersionStore::detailFile(std::string_view path, std::string_view stamp) const {
    return files::join(folderOf(path), std::string(stamp) + std::string(kDetailSuffix));
}

std::string VersionStore::newStamp() {
    std::int64_t ms = calendarMs(clock_.localTime());
    if (ms <= lastStampMs_) ms = lastStampMs_ + 1;
    lastStampMs_ = ms;
    const LocalTime t = fromCalendarMs(ms);
    char text[80];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return text;
}

std::optional<std::string> VersionStore::makeVersion(std::string_view path,
                                                     const std::string& source,
                                                     std::string_view userName,
                                                     std::string_view comment) {
    NewVersion version = planVersion(path, userName, comment);
    if (!keepVersion(version, source)) return std::nullopt;
    return std::move(version.stamp);
}

namespace {

DetailBytes detailRecord(const Clock& clock, std::string_view userName,
                         std::string_view comment) {
    DetailBytes record{};
    proto::MutableView view{record};
    view.set(proto::DetailRecord::time, formatStamp(clock.localTime()));
    view.set(proto::DetailRecord::userName, userName);
    view.set(proto::DetailRecord::comment,
             proto::capped(comment, proto::DetailRecord::kMaxComment));
    return record;
}

bool writeRecord(const std::string& file, const DetailBytes& record) {
    return static_cast<bool>(files::writeFileAtomic(file, record.data(), record.size()));
}

}  // namespace

VersionStore::NewVersion VersionStore::planVersion(std::string_view path,
                                                   std::string_view userName,
                                                   std::string_view comment) {
    NewVersion version;
    version.stamp = newStamp();
    version.file = versionFile(path, version.stamp);
    version.detailFile = detailFile(path, version.stamp);
    version.details = detailRecord(clock_, userName, comment);
    return version;
}

bool VersionStore::keepVersion(const NewVersion& version, const std::string& source) {
    if (!files::replaceWithCopy(source, version.file)) return false;
    (void)writeRecord(version.detailFile, version.details);
    return true;
}

bool VersionStore::writeDetails(std::string_view path, std::string_view stamp,
                                std::string_view userName, std::string_view comment) {
    return writeRecord(detailFile(path, stamp), detailRecord(clock_, userName, comment));
}

std::vector<std::string> VersionStore::versions(std::string_view path) const {
    std::vector<std::string> stamps;
    for (const std::string& name : files::listFiles(folderOf(path), std::string(kFileSuffix))) {
        stamps.push_back(name.substr(0, name.size() - kFileSuffix.size()));
    }
    std::sort(stamps.begin(), stamps.end());
    return stamps;
}

std::optional<DetailBytes> VersionStore::details(std::string_view path,
                                                 std::string_view stamp) const {
    if (stamp.empty()) return std::nullopt;
    DetailBytes record{};
    if (files::readRecord(detailFile(path, stamp), record.data(), record.size()) == 0) {
        return std::nullopt;
    }
    return record;
}

DetailBytes VersionStore::latestDetails(std::string_view path) const {
    DetailBytes record{};
    std::optional<std::int64_t> best;
    std::string bestName;
    for (const std::string& name : files::listFiles(folderOf(path), std::string(kDetailSuffix))) {
        const auto value = stampValue(name, kDetailSuffix);
        if (!value) continue;
        if (!best || *value > *best) {
            best = value;
            bestName = name;
        }
    }
    if (best) files::readRecord(files::join(folderOf(path), bestName), record.data(), record.size());
    return record;
}

void VersionStore::prune(std::string_view path, std::int32_t keep) const {
    if (path.empty()) return;
    const std::string folder = folderOf(path);
    for (;;) {
        std::size_t count = 0;
        std::int64_t oldest = kStampLimit;
        for (const std::string& name : files::listFiles(folder, std::string(kFileSuffix))) {
            ++count;
            const auto value = stampValue(name, kFileSuffix);
            if (value && *value < oldest) oldest = *value;
        }
        if (count <= static_cast<std::size_t>(std::max(keep, 0)) || oldest == kStampLimit) return;
        const std::string stamp = std::to_string(oldest);
        if (!files::removeFile(files::join(folder, stamp + std::string(kFileSuffix)))) return;
        files::discardFile(files::join(folder, stamp + std::string(kDetailSuffix)));
    }
}

VersionStore::Unpaired VersionStore::unpairedIn(const std::string& folderName) const {
    const std::string folder = files::join(filesFolder_, folderName);
    std::vector<std::string> versions;
    std::vector<std::string> details;
    for (const std::string& name : files::listFiles(folder)) {
        if (name.ends_with(kFileSuffix)) {
            versions.push_back(name.substr(0, name.size() - kFileSuffix.size()));
        } else if (name.ends_with(kDetailSuffix)) {
            details.push_back(name.substr(0, name.size() - kDetailSuffix.size()));
        }
    }
    std::sort(versions.begin(), versions.end());
    std::sort(details.begin(), details.end());
    Unpaired unpaired;
    std::set_difference(details.begin(), details.end(), versions.begin(), versions.end(),
                        std::back_inserter(unpaired.detailsWithoutVersion));
    std::set_difference(versions.begin(), versions.end(), details.begin(), details.end(),
                        std::back_inserter(unpaired.versionsWithoutDetails));
    return unpaired;
}

files::Removed VersionStore::removeUnfinishedIn(const std::string& folderName) const {
    // Only copies of the store's own two kinds of file are taken for its leftovers.
    return files::removeUnfinishedWrites(
        files::join(filesFolder_, folderName), [](std::string_view target) {
            return target.ends_with(kFileSuffix) || target.ends_with(kDetailSuffix);
        });
}

std::string VersionStore::detailsText(const DetailBytes& details) {
    const proto::ConstView view{details};
    std::string text = view.get(proto::DetailRecord::time) + "\r\n" +
                       view.get(proto::DetailRecord::userName) + "\r\n\r\n";
    const std::string comment = view.get(proto::DetailRecord::comment);
    for (std::size_t i = 0; i < comment.size() && i < proto::DetailRecord::kMaxComment; ++i) {
        if (comment[i] == '\n' && (i == 0 || comment[i - 1] != '\r')) text.push_back('\r');
        text.push_back(comment[i]);
    }
    return text;
}

}  // namespace zelt::server
