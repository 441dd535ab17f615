#pragma once

// A private-profile (INI) settings file: lines "[section]" followed by lines "key=value". Texts
// are GBK bytes and pass through unchanged; the file is read and written whole on every call,
// through the given file access, and is never kept open. A file of more than kProfileFileMax
// bytes, or one that is no regular file, reads as missing and is never rewritten, so that
// nothing in it is lost.
//
// Reading:
// - The file is read only when it is a regular file of at most kProfileFileMax bytes; a FIFO, a
//   device, a folder (or a link to one) is refused without blocking, and a refused file reads
//   as a missing one and is never written (profileFileState says which).
// - Leading characters with codes up to 32 are dropped from the path, and leading and trailing
//   ones from the section and the key (names in the file are read without them, so a name
//   could never match with them); when one of the three is then empty, nothing is read and the
//   result is empty. Writing trims the same way.
// - A missing file, section or key reads as the empty text; reading never creates the file.
// - Section and key names match ignoring ASCII case (only one-byte characters fold; the second
//   byte of a GBK character never does). Names in the file are read without surrounding
//   characters up to code 32. The first matching section and, in it, the first matching key win.
// - Lines end in CR LF or LF. Lines without "=" and lines starting with ";" are ignored.
//   A "]" or "[" that is the second byte of a GBK character is part of the name, not a bracket.
// - Spaces and quotes around a value: characters up to code 32 before and after the value are
//   dropped; then, when the value is at least two bytes long and starts and ends with the same
//   quote (" or '), that one outer pair of quotes is removed and everything between is kept
//   exactly, spaces included. A value longer than kProfileValueMax bytes is cut to that length
//   at a character boundary.
//
// Writing:
// - Creates the file and the section when missing; replaces the value of an existing key in
//   place; appends a new key after the last non-blank line of its section and a new section at the
//   end of the file. Every written line ends in CR LF; untouched lines keep their bytes.
// - A value is written so that it reads back exactly: when it has surrounding characters up to
//   code 32, or starts and ends with the same quote, it is written inside double quotes.
// - The file is replaced atomically (store::replaceWholeFile): the new contents go to a temporary
//   file in the same directory, flushed to the disk, which is then renamed over the old one. A
//   write that fails returns false and leaves the old file (or its absence) as it was. A symbolic
//   link is followed and stays. A file without any write permission bit counts as read-only and
//   is not replaced.
// - A write is refused (false, nothing changes) when the file is refused for reading, when the
//   file would grow past kProfileFileMax, when the section or key is empty after the trim, when a
//   name or value holds CR or LF, when a key holds "=" or starts with ";" or "[", or when a section
//   holds a one-byte "]".

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/file_access.h"

namespace ledger {

// The longest value the reader gives back, in bytes (a read buffer of 10240 bytes with its
// terminating zero).
inline constexpr size_t kProfileValueMax = 10239;

// The largest settings file read: a category list of thousands of names takes a few kilobytes.
inline constexpr size_t kProfileFileMax = size_t{1} << 20;

enum class ProfileFileState { Ok, Missing, NotAFile, TooLarge, Unreadable };

// Whether the file at `path` can be read: Missing when there is none, NotAFile for a FIFO,
// device or folder, TooLarge past kProfileFileMax, Unreadable when opening or reading fails.
// Never blocks and changes nothing.
ProfileFileState profileFileState(store::FileAccess& files, const std::string& path);

// Why the last write on this thread failed: AccessDenied for a read-only file or folder, DiskFull,
// BadPath for a refused name, value or file that cannot be read whole, ... Ok after success.
store::Status lastProfileWriteError();

// The value of `key` in `section` of the file at `path`; empty when any of them is missing.
std::string readProfileString(store::FileAccess& files, const std::string& path,
                              const std::string& section, const std::string& key);

// The first section named `section` of the file at `path`, read as readProfileString reads it:
// every key line in file order (trimmed name, decoded value; a name listed twice keeps both, the
// first being the one readProfileString gives), and the file's size in bytes. Reads the file
// once. A missing file or section gives no entries.
struct ProfileSection {
    size_t fileBytes = 0;
    std::vector<std::pair<std::string, std::string>> entries;
};
ProfileSection readProfileSection(store::FileAccess& files, const std::string& path,
                                  const std::string& section);

// Sets `key` in `section` to `value`, creating the file and section as needed.
// On failure returns false and leaves the file as it was.
bool writeProfileString(store::FileAccess& files, const std::string& path,
                        const std::string& section, const std::string& key,
                        const std::string& value);

// One change of a batch: sets the key to `value`, or removes the key when `value` is nullopt.
struct ProfileChange {
    std::string section;
    std::string key;
    std::optional<std::string> value;
};

// Applies all changes, in order, in one atomic rewrite of the file (each as writeProfileString
// would; removing a missing key changes nothing). On failure returns false and leaves the file
// as it was; no change is applied when one of them is refused.
bool writeProfileStrings(store::FileAccess& files, const std::string& path,
                         const std::vector<ProfileChange>& changes);

}  // namespace ledger
