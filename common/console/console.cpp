#include "common/console/console.h"

#include <algorithm>

namespace zelt {

std::string_view lineKindName(LineKind kind) {
    switch (kind) {
        case LineKind::Plain:
            return "Plain";
        case LineKind::Function:
            return "Function";
        case LineKind::Error:
            return "Error";
        case LineKind::Important:
            return "Important";
    }
    return "Plain";
}

void Console::append(std::string_view text, LineKind kind, std::string_view tag) {
    ConsoleLine line;
    line.text = std::string(text);
    line.kind = kind;
    line.tag = tag.empty() ? std::string(kNoTag) : std::string(tag);
    line.stamp = formatStamp(clock_.localTime());
    lines_.push_back(std::move(line));
    // Observers may append in turn (a view never should), so the line is found by its index.
    const std::size_t index = lines_.size() - 1;
    for (ConsoleObserver* o : std::vector<ConsoleObserver*>(observers_)) {
        o->lineAppended(lines_[index], index);
    }
    // Dropping a tenth at a time keeps a view's work per line small when the console is full.
    if (lines_.size() > capacity_) dropOldest(std::max<std::size_t>(1, capacity_ / 10));
}

void Console::setCapacity(std::size_t capacity) {
    capacity_ = capacity;
    if (lines_.size() > capacity_) dropOldest(lines_.size() - capacity_);
}

void Console::dropOldest(std::size_t count) {
    count = std::min(count, lines_.size());
    if (count == 0) return;
    lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(count));
    // The selection follows its line, and goes with it.
    if (selected_ >= 0) {
        selected_ = static_cast<std::size_t>(selected_) >= count
                        ? selected_ - static_cast<int>(count)
                        : -1;
    }
    for (ConsoleObserver* o : std::vector<ConsoleObserver*>(observers_)) o->linesDropped(count);
}

void Console::clearAll() {
    lines_.clear();
    selected_ = -1;
    for (ConsoleObserver* o : std::vector<ConsoleObserver*>(observers_)) o->cleared();
}

bool Console::clearWhenLong() {
    if (lines_.size() <= ClearThreshold) return false;
    clearAll();
    return true;
}

void Console::select(int index) {
    selected_ = index >= 0 && static_cast<std::size_t>(index) < lines_.size() ? index : -1;
}

bool Console::hasFunction(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= lines_.size()) return false;
    const std::string& tag = lines_[static_cast<std::size_t>(index)].tag;
    return !tag.empty() && tag != kNoTag;
}

bool Console::execute(int index, std::span<const TagAction> table) const {
    if (index < 0 || static_cast<std::size_t>(index) >= lines_.size()) return false;
    const ConsoleLine& line = lines_[static_cast<std::size_t>(index)];
    const std::string tag = line.tag.substr(0, MaxTagRead);
    const std::string text = line.text.substr(0, MaxTextRead);
    if (tag == kNoTag) return false;
    for (const TagAction& action : table) {
        if (action.tag == tag) {
            if (action.run) action.run(text);
            return true;
        }
    }
    return false;
}

void Console::addObserver(ConsoleObserver* observer) { observers_.push_back(observer); }

void Console::removeObserver(ConsoleObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer),
                     observers_.end());
}

}  // namespace zelt
