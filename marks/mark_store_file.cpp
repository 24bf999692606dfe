#include "marks/mark_store_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "marks/mark_store_text.h"
#include "marks/store_lock.h"

namespace kalendo::marks {

namespace {

namespace fs = std::filesystem;

constexpr int kLockWaitMs = 5000;
// A store of a few thousand marks is well under a megabyte; anything far larger is no store.
constexpr long kMaxStoreBytes = 64L * 1024 * 1024;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

enum class ReadOutcome { Read, Missing, Failed, TooLarge };

ReadOutcome ReadWhole(const std::string& path, std::string* text, int* error = nullptr) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (error) *error = errno;
        std::error_code ec;
        return fs::exists(path, ec) || ec ? ReadOutcome::Failed : ReadOutcome::Missing;
    }
    text->clear();
    char buffer[65536];
    size_t got = 0;
    bool tooLarge = false;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        text->append(buffer, got);
        if (static_cast<long>(text->size()) > kMaxStoreBytes) {
            tooLarge = true;
            break;
        }
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (tooLarge) return ReadOutcome::TooLarge;
    return failed ? ReadOutcome::Failed : ReadOutcome::Read;
}

bool WriteWhole(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fflush(f) == 0;
#if !defined(_WIN32)
    ok = ok && fsync(fileno(f)) == 0;
#endif
    return std::fclose(f) == 0 && ok;
}

// Puts `from` in the place of `to` in one step, whether or not `to` exists.
bool ReplaceFile(const std::string& from, const std::string& to) {
#if defined(_WIN32)
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

StoreResult Result(StoreStatus status, const std::string& message) {
    return StoreResult{status, message};
}

}  // namespace

std::string DefaultMarkStorePath() {
    const std::string chosen = Env("KALENDO_MARK_STORE");
    if (!chosen.empty()) return chosen;
#if defined(_WIN32)
    const std::string appData = Env("APPDATA");
    if (appData.empty()) return "";
    return appData + "\\Kalendo\\marks.txt";
#else
    const std::string data = Env("XDG_DATA_HOME");
    if (!data.empty()) return data + "/kalendo/marks.txt";
    const std::string home = Env("HOME");
    if (home.empty()) return "";
    return home + "/.local/share/kalendo/marks.txt";
#endif
}

StoreResult MarkStoreFile::Load(MarkStore* store) const {
    *store = MarkStore{};
    if (path_.empty()) {
        return Result(StoreStatus::Failed, "no folder for the mark store (APPDATA or HOME unset)");
    }
    std::string text;
    int error = 0;
    switch (ReadWhole(path_, &text, &error)) {
        case ReadOutcome::Missing:
            return Result(StoreStatus::Missing, "");
        case ReadOutcome::Failed:
            return Result(StoreStatus::Failed, "the mark store \"" + path_ + "\" cannot be read (" +
                                                   std::strerror(error) + ")");
        case ReadOutcome::TooLarge:
            return Result(StoreStatus::Damaged, "the mark store \"" + path_ +
                                                    "\" is damaged (far larger than a store); "
                                                    "it is left as it is");
        case ReadOutcome::Read:
            break;
    }
    std::string reason;
    bool newer = false;
    if (!ParseMarkStore(text, store, &reason, &newer)) {
        *store = MarkStore{};
        return Result(StoreStatus::Damaged,
                      "the mark store \"" + path_ + "\" " +
                          (newer ? "cannot be used: " + reason
                                 : "is damaged (" + reason + "); it is left as it is"));
    }
    return Result(StoreStatus::Ok, "");
}

template <typename Change>
StoreResult MarkStoreFile::Update(Change change) const {
    if (path_.empty()) {
        return Result(StoreStatus::Failed, "no folder for the mark store (APPDATA or HOME unset)");
    }
    std::error_code ec;
    const fs::path folder = fs::path(path_).parent_path();
    if (!folder.empty()) fs::create_directories(folder, ec);
    StoreLock lock(path_, kLockWaitMs);
    if (!lock.Held()) {
        return Result(StoreStatus::Failed, "the mark store \"" + path_ +
                                               "\" is kept busy by another program (no turn "
                                               "within 5 s): nothing was added");
    }
    MarkStore store;
    const StoreResult loaded = Load(&store);
    if (!loaded.ok()) {
        // Never written over: what it holds may be recoverable by hand.
        return Result(loaded.status, loaded.message + "; nothing was added");
    }
    const size_t before = store.marks.size() + store.events.size();
    change(store);
    const std::string text = FormatMarkStore(store);

    const std::string temporary = path_ + ".tmp";
    std::string back;
    MarkStore reread;
    std::string error;
    bool newer = false;
    if (!WriteWhole(temporary, text) || ReadWhole(temporary, &back) != ReadOutcome::Read ||
        back != text || !ParseMarkStore(back, &reread, &error, &newer) ||
        reread.marks.size() + reread.events.size() != before + 1) {
        std::remove(temporary.c_str());
        return Result(StoreStatus::Failed, "the mark store \"" + path_ +
                                               "\" cannot be written (its new copy did not read "
                                               "back whole): nothing was added");
    }
    if (!ReplaceFile(temporary, path_)) {
        std::remove(temporary.c_str());
        return Result(StoreStatus::Failed, "the mark store \"" + path_ +
                                               "\" cannot be replaced by its new copy: nothing "
                                               "was added");
    }
    return Result(StoreStatus::Ok, "");
}

StoreResult MarkStoreFile::AddMark(const Mark& mark) const {
    return Update([&](MarkStore& s) { s.marks.push_back(mark); });
}

StoreResult MarkStoreFile::AddEvent(const TimeWriteEvent& event) const {
    return Update([&](MarkStore& s) { s.events.push_back(event); });
}

}  // namespace kalendo::marks
