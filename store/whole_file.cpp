#include "store/whole_file.h"

#include <algorithm>
#include <memory>
#include <new>

namespace store {

namespace {

namespace fs = std::filesystem;

// The folder a path lies in; "." for a bare name.
fs::path folderOf(const fs::path& path) {
    fs::path folder = path.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// Writes `bytes` as a new temporary file beside `path`, flushed to the disk, then gives it the
// name `path`. The temporary file goes again on every failure.
Status writeAndName(FileAccess& files, const fs::path& path, std::string_view bytes, bool replace) {
    fs::path temp;
    std::unique_ptr<File> file;
    Status s = files.createTemporary(path, temp, file);
    if (s != Status::Ok) return s;
    IoResult w = file->writeAt(0, bytes.data(), bytes.size());
    s = w.status;
    if (s == Status::Ok) s = file->sync();
    file.reset();
    if (s == Status::Ok) s = files.rename(temp, path, replace);
    if (s != Status::Ok) {
        files.removeFile(temp);
        return s;
    }
    // The new name is only safe from a power cut once the folder's list of names is on disk.
    return files.syncFolder(folderOf(path));
}

}  // namespace

Status readWholeFile(FileAccess& files, const fs::path& path, size_t limit, std::string& out) {
    out.clear();
    std::unique_ptr<File> file;
    Status s = files.open(path, false, file);
    if (s != Status::Ok) return s;
    IoResult size = file->size();
    if (!size.ok()) return size.status;
    if (static_cast<uint64_t>(size.bytes) > limit) return Status::NoMemory;
    // The first read asks for one byte more than the size, so that a file that grew since its
    // size was taken shows and is read on in chunks, never past one byte beyond the limit: it is
    // refused then instead of being cut.
    constexpr size_t kChunk = 64 * 1024;
    const size_t expected = static_cast<size_t>(size.bytes);
    try {
        out.reserve(expected + 1);
        for (;;) {
            const size_t at = out.size();
            const size_t room = limit - at;  // at never passes the limit here
            const size_t ask = at < expected ? expected - at + 1 : kChunk;
            const size_t want = ask <= room ? ask : room + 1;
            out.resize(at + want);
            IoResult r = file->readAt(static_cast<int64_t>(at), out.data() + at, want);
            if (!r.ok()) {
                out.clear();
                return r.status;
            }
            out.resize(at + static_cast<size_t>(r.bytes));
            if (out.size() > limit) {
                out.clear();
                return Status::NoMemory;
            }
            if (static_cast<size_t>(r.bytes) < want) return Status::Ok;  // the end of the file
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        out.shrink_to_fit();
        return Status::NoMemory;
    }
}

Status createWholeFile(FileAccess& files, const fs::path& path, std::string_view bytes) {
    return writeAndName(files, path, bytes, false);
}

Status replaceWholeFile(FileAccess& files, const fs::path& path, std::string_view bytes) {
    PathInfo info;
    Status s = files.stat(path, info);
    if (s != Status::Ok) return s;
    switch (info.kind) {
        case PathKind::Missing:
            return writeAndName(files, path, bytes, true);
        case PathKind::File:
            if (!info.writable) return Status::AccessDenied;
            // Replaced where a link points, so that the link stays a link.
            return writeAndName(files, info.target, bytes, true);
        default:
            return Status::BadPath;
    }
}

}  // namespace store
