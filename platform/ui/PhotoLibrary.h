// The photo library: the picture files of one folder, as the picker lists
// them.
#pragma once

#include <filesystem>
#include <vector>

namespace ui {

// The pictures in `folder` (files named and starting as JPEG or PNG), by
// file name. None for a missing folder.
std::vector<std::filesystem::path> photoLibraryFiles(const std::filesystem::path& folder);

}  // namespace ui
