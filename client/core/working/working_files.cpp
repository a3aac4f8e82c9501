#include "client/core/working/working_files.h"

#include "client/core/ui/texts.h"

namespace zelt::client {

int WorkingFiles::recordOfRow(int row) const {
    if (row < 0 || row >= static_cast<int>(model_.rows.size())) return CheckOutTable::kNone;
    return local_.table().findHeld(model_.rows[static_cast<std::size_t>(row)].path);
}

void WorkingFiles::showCommand() {
    if (local_.table().checkedOutCount() == 0) {
        console_.plain(text::NoFileCheckedOut);
        refill();
        return;
    }
    show();
}

void WorkingFiles::show() {
    model_.exists = true;
    model_.visible = true;
    fill();
}

void WorkingFiles::refill() {
    if (model_.exists) fill();
}

void WorkingFiles::hide() {
    model_.visible = false;
    update();
}

void WorkingFiles::fill() {
    const CheckOutTable& table = local_.table();
    model_.rows.clear();
    model_.selected.clear();
    for (int i = table.nextHeld(0); i != CheckOutTable::kNone; i = table.nextHeld(i + 1)) {
        if (table.state(i) == RecordFetched) {
            model_.rows.push_back({table.path(i), IconFetched, std::string(text::Fetched)});
        } else {
            model_.rows.push_back({table.path(i), IconNotFetched, ""});
        }
    }
    model_.countLabel = fileCountLabel(static_cast<int>(model_.rows.size()));
    update();
}

void WorkingFiles::update() {
    model_.buttons =
        workingFilesButtons(engine_.fetching(), link_.connected(), model_.selected.size());
    ui_.workingFilesChanged(model_);
}

void WorkingFiles::destroy() {
    if (!model_.exists) return;
    model_ = WorkingFilesModel{};
    ui_.workingFilesChanged(model_);
}

void WorkingFiles::select(std::vector<int> rows) {
    model_.selected = rowsWithin(std::move(rows), model_.rows.size());
    update();
}

bool WorkingFiles::openSelected() {
    if (model_.selected.empty()) return false;
    const int record = recordOfRow(model_.selected.front());
    if (record == CheckOutTable::kNone) return false;
    const CheckOutTable& table = local_.table();
    if (table.state(record) == RecordFetched) {
        shell_.open(table.workingPath(record));
        return false;
    }
    return table.state(record) == RecordCheckedOut;
}

}  // namespace zelt::client
