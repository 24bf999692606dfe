// The mark store on disk: one file per user ("marks.txt" in %APPDATA%\Kalendo\ on Windows,
// $XDG_DATA_HOME/kalendo or ~/.local/share/kalendo elsewhere; KALENDO_MARK_STORE names another
// file), shared by the window and kalendo-cli.
//
// A store is never written with less than it held: a record is added by reading the whole file
// under a lock held across processes, adding to what was read, writing a temporary file beside
// it, reading that back, and only then putting it in the file's place. A file that cannot be
// read as a store is never written over: the error says so, and the file stays as it is for
// the engineer to look at.
#pragma once

#include <string>

#include "marks/mark_records.h"

namespace kalendo::marks {

// The default file, from the environment; empty when no folder is known.
std::string DefaultMarkStorePath();

enum class StoreStatus {
    Ok,
    Missing,  // no file yet: an empty store (Load); Add makes the file
    Damaged,  // the file is there but is no store this program reads: left untouched
    Failed,   // the file or its folder could not be read, written or locked
};

struct StoreResult {
    StoreStatus status = StoreStatus::Ok;
    std::string message;  // for the user; empty when Ok or Missing
    bool ok() const { return status == StoreStatus::Ok || status == StoreStatus::Missing; }
};

class MarkStoreFile {
  public:
    explicit MarkStoreFile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    StoreResult Load(MarkStore* store) const;
    // Read, add, write safely (above). The folder is made when missing.
    StoreResult AddMark(const Mark& mark) const;
    StoreResult AddEvent(const TimeWriteEvent& event) const;

  private:
    template <typename Change>
    StoreResult Update(Change change) const;

    std::string path_;
};

}  // namespace kalendo::marks
