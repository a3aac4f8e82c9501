#pragma once

#include <cstdint>
#include <string>

#include "client/core/ui/models.h"
#include "common/platform/clock.h"

namespace zelt::cli {

// One line of a transfer's progress: the file's name, a bar, the share done, the rate and the
// time left, cut to width columns. elapsed is how long the transfer has run.
std::string progressLine(const std::string& name, std::int64_t done, std::int64_t size,
                         Millis elapsed, int width);

// The File Transfer window of a terminal: one line on standard error, drawn over itself while
// the transfer runs and wiped when it ends. Without a terminal nothing is drawn at all.
class ProgressBar {
public:
    ProgressBar(bool shown, const Clock& clock) : shown_(shown), clock_(clock) {}

    void update(const client::FileTransferModel& model);
    // Wipes the line, so that what is printed next starts on a clean one.
    void clear();

private:
    bool shown_;
    const Clock& clock_;
    std::string label_;
    Millis started_ = 0;
    bool drawn_ = false;
};

}  // namespace zelt::cli
