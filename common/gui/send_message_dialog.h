#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

#include "common/ui/shared_windows.h"

class QPushButton;

namespace Ui {
class SendMessageDialog;
}

namespace zelt::gui {

// One message to write: recipients, text and the Important box. Modeless and any number at
// once; Send checks the form, hands it to the program and closes, and each window frees itself
// when closed.
class SendMessageDialog final : public QDialog {
    Q_OBJECT
public:
    // Receives the form the user sent (the client queues a request, the server relays it).
    using Send = std::function<void(const ui::MessageForm& form)>;
    // How long after opening the keyboard moves to the message when a recipient was given.
    static constexpr int FocusDelay = 200;

    SendMessageDialog(ui::Program program, const std::string& recipient, Send send,
                      QWidget* parent = nullptr);
    ~SendMessageDialog() override;

    // Opens a new window, addressed to recipient (empty: no recipient yet).
    static SendMessageDialog* showNew(ui::Program program, const std::string& recipient, Send send,
                                      QWidget* parent);

    // The form as the fields hold it, cut to the fields' limits.
    ui::MessageForm form() const;

private:
    void trySend();
    void showNotation();

    std::unique_ptr<Ui::SendMessageDialog> ui_;
    ui::Program program_;
    Send send_;
    QPushButton* sendButton_;
    QPushButton* cancelButton_;
};

}  // namespace zelt::gui
