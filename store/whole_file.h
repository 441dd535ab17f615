#pragma once

// Whole files through the file seam: read one, create one that must not exist yet, replace one
// atomically. Each is built only on the seam's operations, so every layer has them and the fault
// layer reaches each of their steps (a cut anywhere leaves the old file and at most a stray
// temporary file beside it).

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "store/file_access.h"

namespace store {

// Reads the regular file at `path` whole into `out`. A file of more than `limit` bytes is refused
// with NoMemory before it is read; anything but a regular file (a folder, a FIFO, a device, a
// link to one) with BadPath, without waiting; a missing file with NotFound. On failure `out` is
// empty.
Status readWholeFile(FileAccess& files, const std::filesystem::path& path, size_t limit,
                     std::string& out);

// Creates the file `path` holding `bytes`: written under a temporary name in the same folder,
// flushed to the disk, then given its name only if no file has it (AccessDenied otherwise, the
// existing file untouched), and the folder flushed. On failure no file is left, neither `path`
// nor the temporary one.
Status createWholeFile(FileAccess& files, const std::filesystem::path& path,
                       std::string_view bytes);

// Replaces the file `path` (or creates it) with `bytes`: written under a temporary name in the
// same folder, flushed to the disk, renamed over the old file, and the folder flushed. A
// symbolic link is followed and stays a link; the file keeps its permissions. A file without any
// write permission bit is not replaced (AccessDenied), nor is a folder or anything but a file
// (BadPath). On failure the old file (or its absence) is as it was and the temporary file is
// removed; only a failed flush of the folder, the last step, reports failure with the new file
// already in place.
Status replaceWholeFile(FileAccess& files, const std::filesystem::path& path,
                        std::string_view bytes);

}  // namespace store
