// Where a host keeps the documents folder beyond its files: the browser
// keeps it in IndexedDB, and a file written there counts as saved only once
// the browser has the bytes. Hosts whose files are the documents (the
// desktop, headless) have none.
#pragma once

#include <filesystem>
#include <functional>

#include "platform/Result.h"

namespace ui {

class DocumentStore {
public:
    using Kept = std::function<void(platform::Result<void>)>;
    virtual ~DocumentStore() = default;

    // Keeps what was just written at `file`. `kept` is called once the store
    // holds those bytes, or with why it could not; then, the file holds what
    // the store held before. It may be called at once, or later from the
    // host's loop.
    virtual void keep(const std::filesystem::path& file, Kept kept) = 0;
};

}  // namespace ui
