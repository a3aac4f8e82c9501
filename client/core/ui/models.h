#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The client's four tool windows as the core keeps them: what each shows, which of its buttons
// work, and whether it exists and is shown. A window only draws its model and reports the
// user's clicks back to the core.
namespace zelt::client {

// Icons of the shared small image list.
enum RowIcon { IconFree = 0, IconHeld = 1 };
enum WorkingIcon { IconNotFetched = 0, IconFetched = 1 };

// Every tool window is created on first use and kept, hidden or shown, until the client closes.
struct ToolWindowState {
    bool exists = false;
    bool visible = false;
};

struct AvailableFileRow {
    std::string path;
    std::string holder;  // empty when the file is free
    int icon = IconFree;
    // When the holder checked the file out, as the server's file properties tell it; empty
    // until they have arrived. The file list itself names the holder only.
    std::string since;
};

struct AvailableFilesButtons {
    bool refresh = false;
    bool properties = false;
    bool checkOut = false;
};
AvailableFilesButtons availableFilesButtons(bool connected, std::size_t selectedRows);

// A window's selection with the indexes that name no row left out.
std::vector<int> rowsWithin(std::vector<int> rows, std::size_t rowCount);

struct AvailableFilesModel : ToolWindowState {
    std::string groupLabel;
    std::string countLabel;
    std::vector<AvailableFileRow> rows;
    std::vector<int> selected;  // row indexes, in list order
    AvailableFilesButtons buttons;
};

struct FilePropertiesModel : ToolWindowState {
    std::string groupName;
    std::string path;
    std::string holder;
    std::string checkOutTime;
    // The last update: when, by whom, and its comment as it was written.
    std::string updateTime;
    std::string updatedBy;
    std::string comment;
    std::string details;  // the last-update box, with CRLF line ends
    bool sendMessage = false;
};

struct FileTransferModel : ToolWindowState {
    std::string label;      // the server path being transferred
    std::int64_t size = 0;  // of the whole file, in bytes
    // The progress in chunks, from 0 to rangeMax (which is -1 for a file below one chunk).
    std::int64_t rangeMax = 0;
    std::int64_t position = 0;
    // The progress in bytes, which a bar can show for files of any size.
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = 0;
    // "12.5 KB/s" and "1 min 05 s", once the transfer has run long enough to tell.
    std::string rate;
    std::string timeLeft;
};

struct WorkingFileRow {
    std::string path;
    int icon = IconNotFetched;
    std::string fetched;  // "Yes" for a fetched file
};

struct WorkingFilesButtons {
    bool fetch = false;
    bool open = false;
    bool openFolder = true;
    bool checkIn = false;
    bool voidCheckOut = false;
    bool close = true;
};
WorkingFilesButtons workingFilesButtons(bool fetching, bool connected, std::size_t selectedRows);

struct WorkingFilesModel : ToolWindowState {
    std::string countLabel;
    std::vector<WorkingFileRow> rows;
    std::vector<int> selected;
    WorkingFilesButtons buttons;
};

}  // namespace zelt::client
