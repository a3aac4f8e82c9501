// The windows both programs share, and the small services around them: Send Message with its
// checks and Recipient Notation, Legends, the alert, single instance, opening with the desktop
// and the text conversion every window goes through.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSoundEffect>
#include <QTest>
#include <QTimer>
#include <QUuid>

#include <optional>
#include <string>
#include <vector>

#include "common/gui/alert.h"
#include "common/gui/console_window_legends_dialog.h"
#include "common/gui/desktop_open.h"
#include "common/gui/recipient_notation_dialog.h"
#include "common/gui/send_message_dialog.h"
#include "common/gui/single_instance.h"
#include "common/gui/text_codec.h"
#include "tests/support/temp_dir.h"

namespace zelt::gui {
namespace {

// Answers the next modal window (a message box or the notation window) once it is open,
// keeping the texts of its labels.
std::vector<QString>* answerNextModal(std::vector<QString>& texts, QString* title = nullptr) {
    QTimer::singleShot(0, [&texts, title] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        if (title != nullptr) *title = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            texts.push_back(box->text());
        } else {
            for (QLabel* label : modal->findChildren<QLabel*>()) texts.push_back(label->text());
        }
        modal->close();
    });
    return &texts;
}

QPushButton* buttonNamed(QWidget* window, const QString& text) {
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->text() == text) return button;
    }
    return nullptr;
}

TEST(SendMessageWindow, SendRefusesEmptyFieldsKeepingWhatWasTypedThenHandsOverTheFormAndFrees) {
    std::vector<ui::MessageForm> sent;
    QPointer<SendMessageDialog> window = SendMessageDialog::showNew(
        ui::Program::Client, "", [&](const ui::MessageForm& form) { sent.push_back(form); },
        nullptr);
    auto* recipient = window->findChild<QLineEdit*>("recipientEdit");
    auto* message = window->findChild<QLineEdit*>("messageEdit");
    auto* important = window->findChild<QCheckBox*>("importantCheck");
    QPushButton* send = buttonNamed(window, "&Send");
    ASSERT_TRUE(recipient && message && important && send);
    EXPECT_EQ(important->text(), "&Important (will beep and flash)");
    EXPECT_TRUE(important->isChecked());
    EXPECT_TRUE(send->isDefault());
    EXPECT_EQ(recipient->maxLength(), 512);
    EXPECT_EQ(message->maxLength(), 1024);

    std::vector<QString> boxes;
    QString title;
    answerNextModal(boxes, &title);
    send->click();
    answerNextModal(boxes);
    QTest::keyClicks(recipient, "bob;@Team");
    send->click();
    EXPECT_EQ(boxes, (std::vector<QString>{"Please enter the recipient.",
                                           "Please enter the message to send."}));
    EXPECT_EQ(title, "ZELT client");
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(recipient->text(), "bob;@Team");
    EXPECT_TRUE(sent.empty());

    QTest::keyClicks(message, "Lunch at noon?");
    important->setChecked(false);
    send->click();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].recipients, "bob;@Team");
    EXPECT_EQ(sent[0].text, "Lunch at noon?");
    EXPECT_FALSE(sent[0].important);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 2000));
}

TEST(SendMessageWindow, ManyAtOnceAReplyMovesToTheMessageAndNotationShowsTheProgramsForms) {
    QPointer<SendMessageDialog> empty =
        SendMessageDialog::showNew(ui::Program::Server, "", nullptr, nullptr);
    QPointer<SendMessageDialog> reply =
        SendMessageDialog::showNew(ui::Program::Server, "anna", nullptr, nullptr);
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(reply->findChild<QLineEdit*>("recipientEdit")->text(), "anna");
    EXPECT_EQ(reply->findChild<QCheckBox*>("importantCheck")->text(),
              "&Important  (will beep and flash)");
    reply->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(reply));
    auto* message = reply->findChild<QLineEdit*>("messageEdit");
    EXPECT_TRUE(QTest::qWaitFor([&] { return message->hasFocus(); }, 2000));

    std::vector<QString> texts;
    QString title;
    answerNextModal(texts, &title);
    buttonNamed(reply, "&Notation")->click();
    EXPECT_EQ(title, "Recipient Notation");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[0].startsWith("username1;username2;..."));
    EXPECT_EQ(texts[1], "@<all>\n\n    Send a message to all users.");

    RecipientNotationDialog client(ui::Program::Client);
    bool listsAdmin = false;
    for (QLabel* label : client.findChildren<QLabel*>()) {
        if (label->text().startsWith("admin\n\n    Send a message to ZELT server manager.")) {
            listsAdmin = true;
        }
    }
    EXPECT_TRUE(listsAdmin);

    // Cancel closes one window; the other stays.
    buttonNamed(reply, "Cancel")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return reply.isNull(); }, 2000));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isVisible());
    delete empty.data();
}

TEST(LegendsWindow, EachShowOpensAnotherAndCloseFreesIt) {
    QPointer<ConsoleWindowLegendsDialog> first = ConsoleWindowLegendsDialog::showNew(nullptr);
    QPointer<ConsoleWindowLegendsDialog> second = ConsoleWindowLegendsDialog::showNew(nullptr);
    ASSERT_NE(first.data(), second.data());
    EXPECT_EQ(first->windowTitle(), "Console Window Legends");
    EXPECT_FALSE(first->isModal());
    std::vector<QString> texts;
    for (QLabel* label : first->findChildren<QLabel*>()) {
        if (!label->text().isEmpty())
            texts.push_back(label->text());
        else
            EXPECT_FALSE(label->pixmap().isNull());
    }
    EXPECT_EQ(texts, (std::vector<QString>{"This line has a function to execute.\n"
                                           "Double-click or right click to execute a function.",
                                           "This line contains an important message.",
                                           "This line indicates an error."}));
    buttonNamed(first, "Close")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }, 2000));
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->isVisible());
    delete second.data();
}

TEST(Alert, TheMadeSoundLoadsAndAMissingOneFallsBackWithoutError) {
    QSoundEffect probe;
    probe.setSource(QUrl::fromLocalFile(ZELT_NOTIFY_SOUND));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return probe.status() == QSoundEffect::Ready || probe.status() == QSoundEffect::Error;
        },
        5000));
    EXPECT_EQ(probe.status(), QSoundEffect::Ready);

    QWidget window;
    window.show();
    Alert alert(&window);
    alert.ring(ZELT_NOTIFY_SOUND);  // no sound device here: still no error
    EXPECT_EQ(alert.lastPlayed(), ZELT_NOTIFY_SOUND);
    alert.ring("/nonexistent/Notify.zelt");
    EXPECT_TRUE(alert.lastPlayed().isEmpty());
    QTest::qWait(50);
}

TEST(SingleInstance, ASecondStartBringsTheFirstWindowBackAndEndsWhatADeadOneLeftDoesNot) {
    const QString key = "zelt-test-" + QUuid::createUuid().toString(QUuid::Id128).left(12);
    // A copy that was killed left its socket's name behind; the next start must still run.
    QFile left(QDir::temp().filePath(key));
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    left.close();

    QWidget window;
    window.show();
    SingleInstance first(key);
    ASSERT_FALSE(first.forwardToRunning());
    first.setWindow(&window);
    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());

    SingleInstance second(key);
    EXPECT_TRUE(second.forwardToRunning());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isMinimized(); }, 3000));
    EXPECT_TRUE(window.isVisible());
}

TEST(DesktopOpen, AFileOrFolderThatCannotBeOpenedIsReportedByItsCause) {
    test::TempDir dir;
    EXPECT_EQ(openWithDesktop(dir.file("missing.txt")), 2);
    EXPECT_EQ(openWithDesktop(dir.file("no-folder/missing.txt")), 3);
    std::vector<QString> boxes;
    QString title;
    answerNextModal(boxes, &title);
    EXPECT_FALSE(openOrReport(nullptr, ui::Program::Client, dir.file("Working/none")));
    EXPECT_EQ(boxes, std::vector<QString>{"Failed to open the file.\n\n"
                                          "The specified path was not found."});
    EXPECT_EQ(title, "ZELT client");
}

TEST(TextCodec, PeersBytesShowAsWrittenAndFieldsNeverGetHalfACharacter) {
    EXPECT_EQ(toQt("Gr\xc3\xbc\xc3\x9f"
                   "e"),
              QString::fromUtf8("Grüße"));
    EXPECT_EQ(toQt("caf\xe9"), QString::fromUtf8("café"));  // a single-byte Western peer
    EXPECT_EQ(toBytes(QString::fromUtf8("abcé"), 4), "abc");
    EXPECT_EQ(toBytes(QString::fromUtf8("abcé"), 5), "abc\xc3\xa9");
    EXPECT_EQ(toBytes(QString::fromUtf8("€uro"), 2), "");
}

}  // namespace
}  // namespace zelt::gui
