#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QSoundEffect;
class QWidget;

namespace zelt::gui {

// Draws the user's attention to a program's window: the program's notification sound and a
// flash of the window. A machine without a sound device (a server room, a test run) still
// gets the flash and no error.
class Alert final : public QObject {
    Q_OBJECT
public:
    explicit Alert(QWidget* window);
    ~Alert() override;

    // Plays soundFile (a WAV, whatever its name), or the desktop's default sound when it is
    // missing; a sound still playing is not started again. Then flashes the window.
    void ring(const QString& soundFile);

    // The file ring() played last, or empty when it fell back to the default sound.
    QString lastPlayed() const { return lastPlayed_; }

private:
    QPointer<QWidget> window_;
    QSoundEffect* sound_ = nullptr;
    QString lastPlayed_;
};

}  // namespace zelt::gui
