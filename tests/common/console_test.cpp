#include "common/console/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zelt {
namespace {

class Recorder : public ConsoleObserver {
public:
    void lineAppended(const ConsoleLine& line, std::size_t index) override {
        events.push_back("append " + std::to_string(index) + " " + line.text);
    }
    void cleared() override { events.push_back("clear"); }
    void linesDropped(std::size_t count) override {
        events.push_back("drop " + std::to_string(count));
    }
    std::vector<std::string> events;
};

TEST(Console, LinesCarryTheStampKindAndTag) {
    ManualClock clock({2007, 4, 28, 16, 5, 9, 0});
    Console console(clock);
    console.plain("first");
    clock.advance(999);  // the same second
    console.function("Display group", "DSPGRP");
    clock.advance(1);
    console.error("");
    ASSERT_EQ(console.size(), 3u);
    EXPECT_EQ(console.lines()[0].stamp, "2007/04/28 [16:05:09]");
    EXPECT_EQ(console.lines()[1].stamp, "2007/04/28 [16:05:09]");
    EXPECT_EQ(console.lines()[2].stamp, "2007/04/28 [16:05:10]");
    EXPECT_EQ(console.lines()[0].tag, "   ");
    EXPECT_EQ(console.lines()[1].kind, LineKind::Function);
    EXPECT_EQ(console.lines()[1].tag, "DSPGRP");
    EXPECT_EQ(console.lines()[2].text, "");  // an empty text is kept as an empty line
    EXPECT_EQ(console.lines()[2].kind, LineKind::Error);
}

TEST(Console, StampFollowsTheClockAcrossAYearEnd) {
    ManualClock clock({2026, 12, 31, 23, 59, 59, 999});
    Console console(clock);
    console.plain("x");
    clock.advance(1);
    console.plain("y");
    EXPECT_EQ(console.lines()[0].stamp, "2026/12/31 [23:59:59]");
    EXPECT_EQ(console.lines()[1].stamp, "2027/01/01 [00:00:00]");
}

TEST(Console, SeparatorIsFortyFiveDashes) {
    ManualClock clock;
    Console console(clock);
    console.separator();
    const ConsoleLine& line = console.lines()[0];
    EXPECT_EQ(line.text.size(), 89u);
    EXPECT_EQ(std::count(line.text.begin(), line.text.end(), '-'), 45);
    EXPECT_EQ(line.text.front(), '-');
    EXPECT_EQ(line.text.back(), '-');
    EXPECT_EQ(line.kind, LineKind::Plain);
    EXPECT_EQ(line.tag, "   ");
}

TEST(Console, ClearWhenLongKeepsFiveHundredAndClearsFiveHundredOne) {
    ManualClock clock;
    Console console(clock);
    for (int i = 0; i < 500; ++i) console.plain("line");
    EXPECT_FALSE(console.clearWhenLong());
    EXPECT_EQ(console.size(), 500u);
    console.plain("one more");
    Recorder recorder;
    console.addObserver(&recorder);
    console.select(3);
    EXPECT_TRUE(console.clearWhenLong());
    EXPECT_EQ(console.size(), 0u);
    EXPECT_EQ(console.selectedLine(), -1);
    EXPECT_EQ(recorder.events, std::vector<std::string>{"clear"});
}

TEST(Console, ExecuteRunsTheMatchingTagWithTheLineText) {
    ManualClock clock;
    Console console(clock);
    std::vector<std::string> ran;
    const TagAction table[] = {
        {"EDTACT", [&](const std::string& text) { ran.push_back("edit " + text); }},
        {"FILEPROP", [&](const std::string& text) { ran.push_back("props " + text); }},
        {"CLEAR", [&](const std::string&) { console.clearAll(); }},
    };
    console.function("anna", "EDTACT");
    console.plain("no function");
    console.function("x", "UNKNOWN");
    console.function("long", "FILEPROPX");  // 9 characters read back: "FILEPROPX"
    console.function("long", "FILEPROPXY");  // read back as "FILEPROPX": matches nothing
    console.function(std::string(600, 'p'), "FILEPROP");
    console.function("bye", "CLEAR");

    EXPECT_TRUE(console.execute(0, table));
    EXPECT_FALSE(console.execute(1, table));
    EXPECT_FALSE(console.execute(2, table));
    EXPECT_FALSE(console.execute(3, table));
    EXPECT_FALSE(console.execute(4, table));
    EXPECT_TRUE(console.execute(5, table));
    EXPECT_FALSE(console.execute(42, table));
    EXPECT_FALSE(console.execute(-1, table));
    ASSERT_EQ(ran.size(), 2u);
    EXPECT_EQ(ran[0], "edit anna");
    EXPECT_EQ(ran[1], "props " + std::string(511, 'p'));

    EXPECT_FALSE(console.hasFunction(1));
    EXPECT_TRUE(console.hasFunction(0));
    // An action may clear the console it was executed from.
    EXPECT_TRUE(console.execute(6, table));
    EXPECT_EQ(console.size(), 0u);
}

TEST(Console, SelectedLineAndObservers) {
    ManualClock clock;
    Console console(clock);
    Recorder recorder;
    console.addObserver(&recorder);
    EXPECT_EQ(console.selectedLine(), -1);
    console.plain("a");
    console.plain("b");
    console.select(1);
    EXPECT_EQ(console.selectedLine(), 1);
    console.select(5);
    EXPECT_EQ(console.selectedLine(), -1);
    console.removeObserver(&recorder);
    console.plain("c");
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"append 0 a", "append 1 b"}));
}

TEST(Console, PastItsCapacityTheOldestLinesGoAndTheSelectionFollowsItsLine) {
    ManualClock clock;
    Console console(clock);
    console.setCapacity(20);
    Recorder recorder;
    console.addObserver(&recorder);
    for (int i = 0; i < 20; ++i) console.plain("line " + std::to_string(i));
    console.select(5);
    EXPECT_TRUE(recorder.events.back() == "append 19 line 19");

    // One line past the capacity: a tenth of it goes, after the observers saw the new line.
    console.plain("line 20");
    ASSERT_EQ(console.size(), 19u);
    EXPECT_EQ(console.lines().front().text, "line 2");
    EXPECT_EQ(console.lines().back().text, "line 20");
    EXPECT_EQ(recorder.events[recorder.events.size() - 2], "append 20 line 20");
    EXPECT_EQ(recorder.events.back(), "drop 2");
    EXPECT_EQ(console.selectedLine(), 3);
    EXPECT_EQ(console.lines()[3].text, "line 5");

    // A selected line that goes takes the selection with it.
    console.select(0);
    console.plain("line 21");
    console.plain("line 22");
    EXPECT_EQ(console.selectedLine(), -1);
    EXPECT_EQ(console.lines().front().text, "line 4");

    // A console that keeps nothing still shows every line to its observers as it comes.
    console.setCapacity(0);
    EXPECT_EQ(console.size(), 0u);
    recorder.events.clear();
    for (int i = 0; i < 1000; ++i) console.plain("flood");
    EXPECT_EQ(console.size(), 0u);
    EXPECT_EQ(recorder.events.size(), 2000u);
    EXPECT_EQ(recorder.events[0], "append 0 flood");
    EXPECT_EQ(recorder.events[1], "drop 1");
}

}  // namespace
}  // namespace zelt
