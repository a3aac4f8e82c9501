#pragma once

#include <QAbstractTableModel>

#include "common/console/console.h"

namespace zelt::gui {

// The console's lines as a table of three columns (text with the kind's icon, tag, stamp),
// following the console through its observer calls.
class ConsoleModel final : public QAbstractTableModel, private ConsoleObserver {
    Q_OBJECT
public:
    enum Column { TextColumn = 0, TagColumn = 1, StampColumn = 2, ColumnCount = 3 };

    explicit ConsoleModel(Console& console, QObject* parent = nullptr);
    ~ConsoleModel() override;

    Console& console() { return console_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

Q_SIGNALS:
    // Lines went at the top; the console's selected line is now this row (-1: it went with
    // them). A view's own selection may have wandered while the rows went.
    void topLinesDropped(int selectedRow);

private:
    void lineAppended(const ConsoleLine& line, std::size_t index) override;
    void cleared() override;
    void linesDropped(std::size_t count) override;

    Console& console_;
    // The rows the views have been told of; the console has already changed when it tells us.
    int rows_ = 0;
};

}  // namespace zelt::gui
