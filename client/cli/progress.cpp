#include "client/cli/progress.h"

#include <algorithm>
#include <cstdio>

#include "common/platform/files.h"
#include "common/platform/terminal.h"
#include "common/protocol/opcodes.h"

namespace zelt::cli {

namespace {

std::string bytesPerSecond(double rate) {
    const char* unit = "B/s";
    for (const char* next : {"KB/s", "MB/s", "GB/s"}) {
        if (rate < 1024) break;
        rate /= 1024;
        unit = next;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", rate, unit);
    return text;
}

std::string duration(std::int64_t seconds) {
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(
            text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
            static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
    return text;
}

constexpr int kBarWidth = 24;

}  // namespace

std::string progressLine(const std::string& name, std::int64_t done, std::int64_t size,
                         Millis elapsed, int width) {
    done = std::clamp<std::int64_t>(done, 0, std::max<std::int64_t>(size, 0));
    const double share = size > 0 ? static_cast<double>(done) / static_cast<double>(size) : 1.0;
    const int filled = static_cast<int>(share * kBarWidth);
    std::string line = " [" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "]";
    char percent[8];
    std::snprintf(percent, sizeof percent, " %3d%%", static_cast<int>(share * 100));
    line += percent;
    if (elapsed > 0 && done > 0) {
        const double rate = static_cast<double>(done) * 1000.0 / static_cast<double>(elapsed);
        line += "  " + bytesPerSecond(rate);
        const auto left = static_cast<std::int64_t>(static_cast<double>(size - done) / rate);
        line += "  " + duration(left) + " left";
    }
    // The name gives way first when the terminal is narrow.
    const auto room = static_cast<std::size_t>(std::max(width - 1, 0));
    std::string head = name;
    if (head.size() + line.size() > room) {
        head = head.substr(0, room > line.size() ? room - line.size() : 0);
    }
    return (head + line).substr(0, room);
}

void ProgressBar::update(const client::FileTransferModel& model) {
    if (!shown_) return;
    if (!model.visible) {
        clear();
        return;
    }
    if (model.label != label_ || model.position == 0) {
        label_ = model.label;
        started_ = clock_.monotonic();
    }
    const std::int64_t done = model.position * static_cast<std::int64_t>(proto::ChunkSize);
    const std::string line =
        progressLine(files::baseName(model.label), done, model.size, clock_.monotonic() - started_,
                     terminal::columns(terminal::Stream::Error));
    std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::clear() {
    if (!drawn_) return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

}  // namespace zelt::cli
