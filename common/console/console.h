#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/clock.h"

namespace zelt {

// The icon a line shows; whether a line can be executed depends on its tag alone.
enum class LineKind { Plain = 0, Function = 1, Error = 2, Important = 3 };

std::string_view lineKindName(LineKind kind);

// The tag of a line without a function.
inline constexpr std::string_view kNoTag = "   ";

struct ConsoleLine {
    std::string text;
    LineKind kind = LineKind::Plain;
    std::string tag{kNoTag};
    std::string stamp;  // "2007/04/28 [16:05:09]"
};

// One function a program runs for a tag; text is the executed line's text.
struct TagAction {
    std::string_view tag;
    std::function<void(const std::string& text)> run;
};

// Told of every change, so a view (or the headless standard output) can follow the console.
class ConsoleObserver {
public:
    virtual ~ConsoleObserver() = default;
    virtual void lineAppended(const ConsoleLine& line, std::size_t index) = 0;
    virtual void cleared() = 0;
    // The oldest count lines are gone; the line that had index count now has index 0.
    virtual void linesDropped(std::size_t count) { (void)count; }
};

// The console of a program: time-stamped lines, appended and cleared, never edited. It keeps at
// most its capacity of lines: past it the oldest go, a tenth of the capacity at a time, so that
// a flood of lines (a user sending message after message to the administrator) cannot take
// the memory of a server that runs for months. Observers still see every line appended.
class Console {
public:
    static constexpr std::size_t ClearThreshold = 500;
    // Far more than anyone scrolls back through, far less than a flood would make.
    static constexpr std::size_t DefaultCapacity = 20000;
    static constexpr std::size_t MaxTagRead = 9;
    static constexpr std::size_t MaxTextRead = 511;
    // 45 dashes, each followed by one space but the last.
    static constexpr std::string_view Separator =
        "- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - - -";

    explicit Console(const Clock& clock) : clock_(clock) {}

    void append(std::string_view text, LineKind kind = LineKind::Plain,
                std::string_view tag = kNoTag);
    void plain(std::string_view text) { append(text, LineKind::Plain); }
    void function(std::string_view text, std::string_view tag) {
        append(text, LineKind::Function, tag);
    }
    void error(std::string_view text) { append(text, LineKind::Error); }
    void important(std::string_view text) { append(text, LineKind::Important); }
    void separator() { append(Separator); }

    void clearAll();
    // Removes every line when there are more than ClearThreshold; returns whether it did.
    bool clearWhenLong();

    const std::deque<ConsoleLine>& lines() const { return lines_; }
    std::size_t size() const { return lines_.size(); }

    // The most lines kept; 0 keeps none (a program that writes its lines out as they come).
    // Lines above a smaller capacity go at once.
    void setCapacity(std::size_t capacity);
    std::size_t capacity() const { return capacity_; }

    int selectedLine() const { return selected_; }
    void select(int index);

    // Runs the function of a line through the program's tag table: the tag read back (at most
    // MaxTagRead characters) is compared exactly with each entry; the first match runs with the
    // text read back (at most MaxTextRead characters). Returns whether an action ran.
    bool execute(int index, std::span<const TagAction> table) const;
    bool executeSelected(std::span<const TagAction> table) const {
        return execute(selected_, table);
    }
    // Whether a line offers "Execute": it carries a tag other than the empty one.
    bool hasFunction(int index) const;

    void addObserver(ConsoleObserver* observer);
    void removeObserver(ConsoleObserver* observer);

private:
    void dropOldest(std::size_t count);

    const Clock& clock_;
    std::deque<ConsoleLine> lines_;
    std::size_t capacity_ = DefaultCapacity;
    int selected_ = -1;
    std::vector<ConsoleObserver*> observers_;
};

}  // namespace zelt
