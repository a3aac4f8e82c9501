#include "server/gui/search_account_dialog.h"

#include "common/gui/text_codec.h"
#include "server/core/admin/account_form.h"
#include "server/gui/dialog_support.h"
#include "ui_search_account_dialog.h"

namespace zelt::server {

SearchAccountDialog::SearchAccountDialog(std::string& keywords, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::SearchAccountDialog>()), keywords_(keywords) {
    ui_->setupUi(this);
    setWindowTitle(gui::toQt(text::SearchAccountTitle));
    ui_->keywordsLabel->setText(gui::toQt(text::SearchKeywordsLabel));
    setOkCancel(ui_->buttons);
    setField(ui_->keywordsEdit, keywords, MaxSearchKeywords);
    ui_->keywordsEdit->selectAll();
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

SearchAccountDialog::~SearchAccountDialog() = default;

void SearchAccountDialog::accept() {
    keywords_ = fieldText(ui_->keywordsEdit, MaxSearchKeywords);
    QDialog::accept();
}

}  // namespace zelt::server
