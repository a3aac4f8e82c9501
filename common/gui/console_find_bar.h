#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace zelt::gui {

// The bar Ctrl+F opens over the console: a text, next and previous, and a note when nothing
// matches. Enter finds the next line, Shift+Enter the previous one, Escape closes the bar.
class ConsoleFindBar final : public QWidget {
    Q_OBJECT
public:
    explicit ConsoleFindBar(QWidget* parent = nullptr);

    // Shows the bar with its text selected, ready for typing.
    void open();
    QString text() const;
    void setText(const QString& text);
    void setNotFound(bool notFound);

Q_SIGNALS:
    void findRequested(const QString& text, bool forward);
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void request(bool forward);

    QLineEdit* edit_;
    QToolButton* next_;
    QToolButton* previous_;
    QToolButton* close_;
    QLabel* notFound_;
};

}  // namespace zelt::gui
