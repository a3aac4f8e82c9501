#include "common/gui/alert.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>
#include <QWidget>

namespace zelt::gui {

Alert::Alert(QWidget* window) : QObject(window), window_(window) {}

Alert::~Alert() = default;

void Alert::ring(const QString& soundFile) {
    if (QFileInfo(soundFile).isFile()) {
        // Made on first use: a program that never alerts never opens the audio output.
        if (sound_ == nullptr) sound_ = new QSoundEffect(this);
        const QUrl source = QUrl::fromLocalFile(soundFile);
        if (sound_->source() != source) sound_->setSource(source);
        if (!sound_->isPlaying()) sound_->play();
        lastPlayed_ = soundFile;
    } else {
        QApplication::beep();
        lastPlayed_.clear();
    }
    // Until the user looks at the window; an active window is not flashed at all.
    if (window_) QApplication::alert(window_->window(), 0);
}

}  // namespace zelt::gui
