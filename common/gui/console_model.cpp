#include "common/gui/console_model.h"

#include <algorithm>

#include "common/gui/line_icons.h"
#include "common/gui/text_codec.h"

namespace zelt::gui {

namespace {
// The first header names the console; the other two are three spaces each.
constexpr const char* kHeaders[ConsoleModel::ColumnCount] = {"Console", "   ", "   "};
}  // namespace

ConsoleModel::ConsoleModel(Console& console, QObject* parent)
    : QAbstractTableModel(parent), console_(console), rows_(static_cast<int>(console.size())) {
    console_.addObserver(this);
}

ConsoleModel::~ConsoleModel() { console_.removeObserver(this); }

int ConsoleModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ConsoleModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ConsoleModel::data(const QModelIndex& index, int role) const {
    // While rows are being removed the console has already lost them.
    if (!index.isValid() || index.row() >= rows_ ||
        static_cast<std::size_t>(index.row()) >= console_.size()) {
        return {};
    }
    const ConsoleLine& line = console_.lines()[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
            case TextColumn:
                return toQt(line.text);
            case TagColumn:
                return role == Qt::DisplayRole ? toQt(line.tag) : QVariant();
            case StampColumn:
                return role == Qt::DisplayRole ? toQt(line.stamp) : QVariant();
            default:
                return {};
        }
    }
    if (role == Qt::DecorationRole && index.column() == TextColumn) return lineIcon(line.kind);
    return {};
}

QVariant ConsoleModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= ColumnCount) return {};
    return QString::fromLatin1(kHeaders[section]);
}

void ConsoleModel::lineAppended(const ConsoleLine&, std::size_t index) {
    const int row = static_cast<int>(index);
    if (row < rows_) return;
    beginInsertRows({}, rows_, row);
    rows_ = row + 1;
    endInsertRows();
}

void ConsoleModel::linesDropped(std::size_t count) {
    const int n = static_cast<int>(std::min<std::size_t>(count, static_cast<std::size_t>(rows_)));
    if (n == 0) return;
    // The views move their selection and current row up with the lines that stay.
    const int selected = console_.selectedLine();
    beginRemoveRows({}, 0, n - 1);
    rows_ -= n;
    endRemoveRows();
    Q_EMIT topLinesDropped(selected);
}

void ConsoleModel::cleared() {
    beginResetModel();
    rows_ = 0;
    endResetModel();
}

}  // namespace zelt::gui
