// The documents folder kept in the browser's IndexedDB: each saved file's
// bytes are written there under its path as soon as it is saved (not by
// comparing sizes and times), and the save counts only once the browser
// says the write is done. A write that fails puts the file back as the
// browser still holds it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string_view>
#include <vector>

#include "platform/ui/DocumentStore.h"

namespace web {

class WebDocumentStore : public ui::DocumentStore {
public:
    explicit WebDocumentStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // What the browser kept of the folder is in its files now: what a
    // failed write puts back.
    void folderRead();
    void keep(const std::filesystem::path& file, Kept kept) override;
    // The browser's answer to write `id`: done, or failed for `reason`.
    void answered(int id, bool done, std::string_view reason);
    // Whether a write is under way, which leaving the page would lose.
    bool writing() const { return !writes_.empty(); }

private:
    bool holds(const std::filesystem::path& file) const;
    // Puts `file` back as the browser holds it: its bytes, or no file.
    void putBack(const std::filesystem::path& file);

    struct Write {
        std::filesystem::path file;
        std::vector<std::uint8_t> bytes;
        Kept kept;
    };
    std::filesystem::path folder_;
    // Writes under way by their number, in the order they were asked for,
    // which is the order IndexedDB carries them out.
    std::map<int, Write> writes_;
    int nextWrite_ = 1;
    // The bytes the browser holds of each file in the folder.
    std::map<std::filesystem::path, std::vector<std::uint8_t>> kept_;
};

}  // namespace web
