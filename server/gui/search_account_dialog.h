#pragma once

#include <QDialog>

#include <memory>
#include <string>

namespace zelt::server {

namespace Ui {
class SearchAccountDialog;
}

// The keywords to look for in the accounts, prefilled with the last ones of this run.
class SearchAccountDialog final : public QDialog {
    Q_OBJECT
public:
    SearchAccountDialog(std::string& keywords, QWidget* parent = nullptr);
    ~SearchAccountDialog() override;

    void accept() override;

private:
    std::unique_ptr<Ui::SearchAccountDialog> ui_;
    std::string& keywords_;
};

}  // namespace zelt::server
