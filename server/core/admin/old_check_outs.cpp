#include "server/core/admin/old_check_outs.h"

#include <charconv>

#include "server/core/ui/texts.h"

namespace zelt::server {

namespace {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;

// Digits at [at, at + count) of text as a number, or -1.
int digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    const char* begin = text.data() + at;
    const auto [end, error] = std::from_chars(begin, begin + count, value);
    return error == std::errc() && end == begin + count ? value : -1;
}

}  // namespace

std::optional<LocalTime> parseCheckOutTime(std::string_view text) {
    // "yyyy/mm/dd [hh:mm]"
    if (text.size() != 18 || text[4] != '/' || text[7] != '/' || text.substr(10, 2) != " [" ||
        text[14] != ':' || text[17] != ']') {
        return std::nullopt;
    }
    LocalTime t;
    t.year = digits(text, 0, 4);
    t.month = digits(text, 5, 2);
    t.day = digits(text, 8, 2);
    t.hour = digits(text, 12, 2);
    t.minute = digits(text, 15, 2);
    if (t.year < 0 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 ||
        t.hour > 23 || t.minute < 0 || t.minute > 59) {
        return std::nullopt;
    }
    return t;
}

std::vector<HeldFile> filesHeldLongerThan(const GroupTable& groups, const LocalTime& now,
                                          int days) {
    std::vector<HeldFile> held;
    const std::int64_t limit = calendarMs(now) - static_cast<std::int64_t>(days) * kDayMs;
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.inUse(g)) continue;
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            const auto entry = groups.fileEntry(g, k);
            if (entry.get(FileEntry::checkedOut) != 1) continue;
            const std::string time = entry.get(FileEntry::checkOutTime);
            const auto since = parseCheckOutTime(time);
            if (since && calendarMs(*since) >= limit) continue;
            held.push_back({groups.record(g).get(GroupRecord::name), entry.get(FileEntry::path),
                            entry.get(FileEntry::holder), time});
        }
    }
    return held;
}

std::vector<HeldFile> listFilesHeldLongerThan(Console& console, const GroupTable& groups,
                                              const LocalTime& now, int days) {
    std::vector<HeldFile> held = filesHeldLongerThan(groups, now, days);
    console.separator();
    console.plain(text::format(text::OldCheckedOutFiles, days));
    for (const HeldFile& file : held) {
        console.function(file.group + std::string(text::GroupPathSeparator) + file.path,
                         tag::FileProperties);
        console.plain(text::format(text::HeldBy, file.holder, file.time));
    }
    return held;
}

}  // namespace zelt::server
