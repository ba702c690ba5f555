#include "platform/web/WebDocuments.h"

#include <algorithm>
#include <string>

#include "platform/Files.h"
#include "platform/Log.h"

// The page's half, in Storage.js.
extern "C" {
void scrawlet_storage_keep(int id, const char* path, const std::uint8_t* bytes, int length);
}

namespace web {

namespace {
// A drawing larger than this is not read back for keeping; scene files
// stay far below it.
constexpr std::uint64_t largestKeptFile = std::uint64_t{1} << 30;
}  // namespace

bool WebDocumentStore::holds(const std::filesystem::path& file) const {
    auto normal = file.lexically_normal();
    auto [folderEnd, fileAt] =
        std::mismatch(folder_.begin(), folder_.end(), normal.begin(), normal.end());
    return folderEnd == folder_.end() && fileAt != normal.end();
}

void WebDocumentStore::folderRead() {
    kept_.clear();
    std::error_code error;
    std::filesystem::recursive_directory_iterator it(folder_, error), end;
    for (; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (!it->is_regular_file(ignored)) continue;
        if (auto bytes = platform::readFile(it->path(), largestKeptFile))
            kept_[it->path().lexically_normal()] = std::move(bytes).value();
    }
}

void WebDocumentStore::keep(const std::filesystem::path& file, Kept kept) {
    // Files elsewhere (a folder a script named) live only for the visit.
    if (!holds(file)) {
        kept({});
        return;
    }
    auto bytes = platform::readFile(file, largestKeptFile);
    if (!bytes) {
        putBack(file);
        kept(platform::fail(bytes.error()));
        return;
    }
    int id = nextWrite_++;
    auto& write =
        writes_[id] = {file.lexically_normal(), std::move(bytes).value(), std::move(kept)};
    scrawlet_storage_keep(id, write.file.c_str(), write.bytes.data(),
                          static_cast<int>(write.bytes.size()));
}

void WebDocumentStore::answered(int id, bool done, std::string_view reason) {
    auto found = writes_.find(id);
    if (found == writes_.end()) return;
    Write write = std::move(found->second);
    writes_.erase(found);
    if (done) {
        kept_[write.file] = std::move(write.bytes);
        write.kept({});
        return;
    }
    // A later save of the same file, still under way, wrote the file anew;
    // it is put back only when that one fails too.
    bool later = std::any_of(writes_.begin(), writes_.end(),
                             [&](const auto& entry) { return entry.second.file == write.file; });
    if (!later) putBack(write.file);
    write.kept(platform::fail("the browser did not keep " + write.file.filename().string() + ": " +
                              std::string(reason)));
}

void WebDocumentStore::putBack(const std::filesystem::path& file) {
    auto held = kept_.find(file.lexically_normal());
    if (held == kept_.end()) {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        return;
    }
    if (auto written = platform::writeFile(file, held->second); !written)
        platform::log(written.error());
}

}  // namespace web
