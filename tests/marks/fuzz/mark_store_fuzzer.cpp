// Fuzzes the mark store's parser: any text is read or refused with a reason, never a crash, and
// a store that reads is written back as text that reads to the same store.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "marks/mark_store_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    kalendo::marks::MarkStore store;
    std::string error;
    bool newer = false;
    if (!kalendo::marks::ParseMarkStore(text, &store, &error, &newer)) {
        if (error.empty()) std::abort();
        return 0;
    }
    const std::string written = kalendo::marks::FormatMarkStore(store);
    kalendo::marks::MarkStore again;
    if (!kalendo::marks::ParseMarkStore(written, &again, &error, &newer)) std::abort();
    if (kalendo::marks::FormatMarkStore(again) != written) std::abort();
    if (again.marks.size() != store.marks.size() || again.events.size() != store.events.size()) {
        std::abort();
    }
    return 0;
}
