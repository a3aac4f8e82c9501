#include "common/gui/tools/screenshot_kit.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace zelt::gui::shots {

namespace {
QString outDir;
QString suffix;
int failures = 0;
}  // namespace

bool begin(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [SUFFIX]\n", argv[0]);
        return false;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QDir().mkpath(outDir);
    return true;
}

int end() {
    return failures == 0 ? 0 : 1;
}

void fail(const QString& why) {
    std::fprintf(stderr, "%s\n", qPrintable(why));
    ++failures;
}

void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void save(const QPixmap& picture, const QString& name) {
    const QString path = outDir + QLatin1Char('/') + name + suffix + QStringLiteral(".png");
    if (!picture.save(path)) {
        fail(QStringLiteral("cannot write ") + path);
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

void shoot(QWidget* window, const QString& name) {
    window->show();
    window->raise();
    settle();
    save(window->grab(), name);
}

void shootModal(const QString& name, const std::function<void()>& open) {
    QTimer::singleShot(200, [name] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            fail(QStringLiteral("no window for ") + name);
            return;
        }
        save(modal->grab(), name);
        modal->close();
    });
    open();
}

}  // namespace zelt::gui::shots
