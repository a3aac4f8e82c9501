#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class ConsoleWindowLegendsDialog;
}

namespace zelt::gui {

// What the three line icons of the console mean. Modeless; each Show Legends opens another
// one, and each frees itself when closed.
class ConsoleWindowLegendsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ConsoleWindowLegendsDialog(QWidget* parent = nullptr);
    ~ConsoleWindowLegendsDialog() override;

    // Opens a new window beside whatever is open already.
    static ConsoleWindowLegendsDialog* showNew(QWidget* parent);

private:
    std::unique_ptr<Ui::ConsoleWindowLegendsDialog> ui_;
};

}  // namespace zelt::gui
