// The console view as a user meets it: double-click and the context menu run a line's
// function, the newest line is always in sight, and Ctrl+F finds lines.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>

#include <string>
#include <vector>

#include "common/gui/console_find_bar.h"
#include "common/gui/console_model.h"
#include "common/gui/console_view.h"

namespace zelt::gui {
namespace {

class ConsoleViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(900, 300);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    // What the core's execute does: runs the tag's action with the line's text.
    void execute(int line) {
        const TagAction table[] = {
            {"EDTACT", [this](const std::string& text) { ran.push_back("EDTACT " + text); }},
        };
        console.execute(line, table);
    }

    QPoint rowCenter(int row) const {
        return view.list()->visualRect(view.model()->index(row, 0)).center();
    }
    void select(int row) { view.list()->setCurrentIndex(view.model()->index(row, 0)); }
    bool rowInSight(int row) const {
        const QRect rect = view.list()->visualRect(view.model()->index(row, 0));
        return rect.isValid() && view.list()->viewport()->rect().contains(rect);
    }
    // What a mouse sends for a double-click: press, release, the double-click, release.
    void doubleClick(const QPoint& at) {
        QWidget* viewport = view.list()->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    }
    void rightClick(const QPoint& at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                view.list()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.list()->viewport(), &event);
    }

    SystemClock clock;
    Console console{clock};
    std::vector<std::string> ran;
    ConsoleView view{console, ui::Program::Server, [this](int line) { execute(line); }};
};

TEST_F(ConsoleViewTest, ADoubleClickRunsTheLineUnderTheMouseNotTheSelectedOne) {
    console.plain("Account list:");
    console.function("anna", "EDTACT");
    console.function("bob", "EDTACT");
    console.plain("Ready.");
    select(1);

    doubleClick(rowCenter(2));
    EXPECT_EQ(ran, std::vector<std::string>{"EDTACT bob"});
    // A line without a function does nothing, and neither does the space below the lines.
    doubleClick(rowCenter(3));
    doubleClick(QPoint(20, view.list()->viewport()->height() - 4));
    EXPECT_EQ(ran, std::vector<std::string>{"EDTACT bob"});
}

TEST_F(ConsoleViewTest, TheContextMenuOffersExecuteOnlyForASelectedLineWithARealTag) {
    console.plain("Ready.");
    console.function("anna", "EDTACT");
    console.append("An error.", LineKind::Error);
    QMenu* menu = view.contextMenu();

    rightClick(rowCenter(1));  // nothing selected yet
    EXPECT_FALSE(menu->isVisible());
    for (int row : {0, 2}) {
        select(row);
        rightClick(rowCenter(row));
        EXPECT_FALSE(menu->isVisible()) << row;
    }

    select(1);
    rightClick(rowCenter(1));
    ASSERT_TRUE(menu->isVisible());
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().front()->text(), "Execute");
    EXPECT_EQ(menu->actions().front()->statusTip(), "Execute a related function");
    menu->actions().front()->trigger();
    menu->close();
    EXPECT_EQ(ran, std::vector<std::string>{"EDTACT anna"});

    // The menu key offers it at the selected line too.
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
    QApplication::sendEvent(view.list()->viewport(), &key);
    EXPECT_TRUE(menu->isVisible());
    menu->close();
}

TEST_F(ConsoleViewTest, TheNewestLineIsAlwaysInSight) {
    for (int i = 0; i < 300; ++i) console.plain("line " + std::to_string(i));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowInSight(299); }, 2000));

    // The user scrolls back; the next line brings the view down again.
    view.list()->verticalScrollBar()->setValue(0);
    ASSERT_FALSE(rowInSight(299));
    console.important("Shut down in 5 minutes.");
    EXPECT_TRUE(QTest::qWaitFor([&] { return rowInSight(300); }, 2000));

    // After a clear the list starts again at the top with the next line.
    console.clearAll();
    console.plain("fresh");
    EXPECT_EQ(view.model()->rowCount(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rowInSight(0); }, 2000));
}

TEST_F(ConsoleViewTest, AFullConsoleLosesItsTopRowsAndKeepsTheSelectedLineSelected) {
    console.setCapacity(100);
    for (int i = 0; i < 100; ++i) console.plain("line " + std::to_string(i));
    select(50);
    ASSERT_EQ(console.selectedLine(), 50);

    console.plain("line 100");
    ASSERT_EQ(view.model()->rowCount(), 91);
    EXPECT_EQ(view.model()->index(0, ConsoleModel::TextColumn).data().toString(), "line 10");
    const QModelIndexList rows = view.list()->selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.front().row(), 40);
    EXPECT_EQ(console.selectedLine(), 40);
    EXPECT_EQ(console.lines()[40].text, "line 50");
    EXPECT_TRUE(QTest::qWaitFor([&] { return rowInSight(90); }, 2000));

    // The selected line itself goes: nothing is selected, and a double-click still runs the
    // line under the mouse.
    for (int i = 101; i < 160; ++i) console.plain("line " + std::to_string(i));
    EXPECT_EQ(console.selectedLine(), -1);
    EXPECT_TRUE(view.list()->selectionModel()->selectedRows().isEmpty());
    console.function("anna", "EDTACT");
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowInSight(view.model()->rowCount() - 1); }, 2000));
    doubleClick(rowCenter(view.model()->rowCount() - 1));
    EXPECT_EQ(ran, std::vector<std::string>{"EDTACT anna"});
}

TEST_F(ConsoleViewTest, CtrlFFindsLinesIgnoringCaseBothWaysRoundTheEnd) {
    for (const char* text : {"alpha", "Beta one", "gamma", "the beta two", "delta"}) {
        console.plain(text);
    }
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    auto* edit = view.findBar()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);

    QTest::keyClick(view.list(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(view.findBar()->isVisible());
    EXPECT_TRUE(edit->hasFocus());
    QTest::keyClicks(edit, "BETA");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(console.selectedLine(), 1);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(console.selectedLine(), 3);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(console.selectedLine(), 1);
    QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(console.selectedLine(), 3);
    EXPECT_EQ(view.list()->currentIndex().row(), 3);

    // No match: the selection stays and the bar says so.
    edit->clear();
    QTest::keyClicks(edit, "omega");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(console.selectedLine(), 3);
    bool saysNotFound = false;
    for (QLabel* label : view.findBar()->findChildren<QLabel*>()) {
        if (label->text() == "Not found" && label->isVisible()) saysNotFound = true;
    }
    EXPECT_TRUE(saysNotFound);

    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(view.findBar()->isVisible());
    EXPECT_TRUE(view.list()->hasFocus());
}

}  // namespace
}  // namespace zelt::gui
