#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "common/ui/shared_windows.h"

class QLocalServer;
class QWidget;

namespace zelt::gui {

// One running copy of a program per user. The first start listens on a local socket named
// after the program and the user; a later start finds it, asks it to come to the front, and
// ends without opening a window.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(ui::Program program, QObject* parent = nullptr);
    // A key of the caller's choosing (tests keep theirs apart from a running program).
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another copy runs: it has been told to come forward, and this one should end.
    // Otherwise this copy now answers later starts.
    bool forwardToRunning();

    // The window a later start brings to the front: raised, restored if minimised, activated.
    void setWindow(QWidget* window) { window_ = window; }

    static QString keyFor(ui::Program program);

private:
    void bringForward();

    QString key_;
    QLocalServer* server_ = nullptr;
    QPointer<QWidget> window_;
};

}  // namespace zelt::gui
