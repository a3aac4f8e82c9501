#include "client/core/ui/models.h"

namespace zelt::client {

AvailableFilesButtons availableFilesButtons(bool connected, std::size_t selectedRows) {
    AvailableFilesButtons b;
    if (!connected) return b;
    b.refresh = true;
    b.properties = selectedRows == 1;
    b.checkOut = selectedRows >= 1;
    return b;
}

std::vector<int> rowsWithin(std::vector<int> rows, std::size_t rowCount) {
    std::erase_if(
        rows, [rowCount](int row) { return row < 0 || static_cast<std::size_t>(row) >= rowCount; });
    return rows;
}

WorkingFilesButtons workingFilesButtons(bool fetching, bool connected, std::size_t selectedRows) {
    WorkingFilesButtons b;
    if (fetching) return b;
    // Opening a fetched working copy needs no server; everything else does.
    b.open = selectedRows == 1;
    if (!connected) return b;
    b.fetch = selectedRows >= 1;
    b.checkIn = selectedRows >= 1;
    b.voidCheckOut = selectedRows >= 1;
    return b;
}

}  // namespace zelt::client
