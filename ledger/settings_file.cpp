#include "ledger/settings_file.h"

#include <string_view>

#include "store/whole_file.h"

namespace ledger {
namespace {

bool isControlOrSpace(char c) { return static_cast<unsigned char>(c) <= 32; }

bool isLeadByte(char c) {
    unsigned char b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isControlOrSpace(s.front())) s.remove_prefix(1);
    return s;
}

// Safe on GBK: no byte of a two-byte character is 32 or less, so only whole one-byte
// characters are dropped.
std::string_view trim(std::string_view s) {
    s = trimLeft(s);
    while (!s.empty() && isControlOrSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Position of the first one-byte character `c` in a GBK text, stepping over two-byte characters
// whole, so that a second byte equal to '[' or ']' (0x5B, 0x5D) is never taken for it.
size_t findSingle(std::string_view s, char c) {
    for (size_t i = 0; i < s.size();) {
        if (isLeadByte(s[i]) && i + 1 < s.size()) {
            i += 2;
            continue;
        }
        if (s[i] == c) return i;
        ++i;
    }
    return std::string_view::npos;
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Names match ignoring the case of one-byte ASCII letters; two-byte characters compare exactly
// (their second byte may be a letter, and folding it would make two characters equal).
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size();) {
        if (isLeadByte(a[i]) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            i += 2;
        } else {
            if (asciiLower(a[i]) != asciiLower(b[i])) return false;
            ++i;
        }
    }
    return true;
}

struct Line {
    std::string text;    // without its line end
    std::string ending;  // "\r\n", "\n", or empty for a last line without one
};

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // the raw text after "=" of a key line
};

ParsedLine parseLine(std::string_view text) {
    ParsedLine p;
    std::string_view s = trimLeft(text);
    if (s.empty() || s.front() == ';') return p;
    if (s.front() == '[') {
        size_t close = findSingle(s.substr(1), ']');
        if (close != std::string_view::npos) {
            p.kind = LineKind::Section;
            p.name = trim(s.substr(1, close));
            return p;
        }
    }
    size_t eq = findSingle(s, '=');
    if (eq == std::string_view::npos) return p;
    p.kind = LineKind::Key;
    p.name = trim(s.substr(0, eq));
    p.value = s.substr(eq + 1);
    return p;
}

std::vector<Line> splitLines(const std::string& content) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t lf = content.find('\n', start);
        Line line;
        if (lf == std::string::npos) {
            line.text = content.substr(start);
            start = content.size();
        } else {
            size_t end = lf;
            line.ending = "\n";
            if (end > start && content[end - 1] == '\r') {
                --end;
                line.ending = "\r\n";
            }
            line.text = content.substr(start, end - start);
            start = lf + 1;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string joinLines(const std::vector<Line>& lines) {
    std::string out;
    for (const Line& l : lines) out += l.text + l.ending;
    return out;
}

// How a value read from the file is given back: see the header.
std::string decodeValue(std::string_view raw) {
    std::string_view v = trim(raw);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    if (v.size() > kProfileValueMax) {
        size_t end = 0;
        while (end < v.size()) {
            size_t n = isLeadByte(v[end]) && end + 1 < v.size() ? 2 : 1;
            if (end + n > kProfileValueMax) break;
            end += n;
        }
        v = v.substr(0, end);
    }
    return std::string(v);
}

// The text written after "=", chosen so that decodeValue gives `value` back exactly.
std::string encodeValue(const std::string& value) {
    if (value.empty()) return value;
    bool padded = isControlOrSpace(value.front()) || isControlOrSpace(value.back());
    bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                  value.back() == value.front();
    return padded || quoted ? "\"" + value + "\"" : value;
}

thread_local store::Status lastWriteError = store::Status::Ok;

// The file's contents, empty for a missing file; false when it cannot be read for another reason.
bool readSettingsFile(store::FileAccess& files, const std::string& path, std::string& out) {
    store::Status s = store::readWholeFile(files, path, kProfileFileMax, out);
    return s == store::Status::Ok || s == store::Status::NotFound;
}

bool validChange(const ProfileChange& c) {
    std::string_view section = trim(c.section);
    std::string_view key = trim(c.key);
    if (section.empty() || key.empty()) return false;
    auto hasLineEnd = [](std::string_view s) {
        return s.find('\r') != std::string_view::npos || s.find('\n') != std::string_view::npos;
    };
    if (hasLineEnd(section) || hasLineEnd(key) || (c.value && hasLineEnd(*c.value))) return false;
    if (findSingle(section, ']') != std::string_view::npos) return false;
    if (findSingle(key, '=') != std::string_view::npos) return false;
    // A key that starts like a comment or a section line would not read back as a key.
    return key.front() != ';' && key.front() != '[';
}

void ensureEnding(Line& line) {
    if (line.ending.empty()) line.ending = "\r\n";
}

void applyChange(std::vector<Line>& lines, const ProfileChange& c) {
    std::string_view section = trim(c.section);
    std::string_view key = trim(c.key);
    size_t sectionLine = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        ParsedLine p = parseLine(lines[i].text);
        if (p.kind == LineKind::Section && sameName(p.name, section)) {
            sectionLine = i;
            break;
        }
    }
    if (sectionLine == lines.size()) {
        if (!c.value) return;
        if (!lines.empty()) ensureEnding(lines.back());
        lines.push_back({"[" + std::string(section) + "]", "\r\n"});
        lines.push_back({std::string(key) + "=" + encodeValue(*c.value), "\r\n"});
        return;
    }
    size_t lastContent = sectionLine;  // a new key goes after the section's last non-blank line
    for (size_t i = sectionLine + 1; i < lines.size(); ++i) {
        ParsedLine p = parseLine(lines[i].text);
        if (p.kind == LineKind::Section) break;
        if (p.kind == LineKind::Key && sameName(p.name, key)) {
            if (c.value) {
                lines[i] = Line{std::string(key) + "=" + encodeValue(*c.value), "\r\n"};
            } else {
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            }
            return;
        }
        if (!trim(lines[i].text).empty()) lastContent = i;
    }
    if (!c.value) return;
    ensureEnding(lines[lastContent]);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1),
                 Line{std::string(key) + "=" + encodeValue(*c.value), "\r\n"});
}

}  // namespace

ProfileSection readProfileSection(store::FileAccess& files, const std::string& path,
                                  const std::string& section) {
    ProfileSection out;
    std::string_view file = trimLeft(path);
    std::string_view wantedSection = trim(section);
    if (file.empty() || wantedSection.empty()) return out;
    std::string content;
    if (!readSettingsFile(files, std::string(file), content)) return out;
    out.fileBytes = content.size();
    bool inSection = false;
    for (const Line& line : splitLines(content)) {
        ParsedLine p = parseLine(line.text);
        if (p.kind == LineKind::Section) {
            if (inSection) break;  // only the first section of that name is read
            inSection = sameName(p.name, wantedSection);
        } else if (inSection && p.kind == LineKind::Key) {
            out.entries.emplace_back(std::string(p.name), decodeValue(p.value));
        }
    }
    return out;
}

std::string readProfileString(store::FileAccess& files, const std::string& path,
                              const std::string& section, const std::string& key) {
    std::string_view wantedKey = trim(key);
    if (wantedKey.empty()) return {};
    for (const auto& [name, value] : readProfileSection(files, path, section).entries) {
        if (sameName(name, wantedKey)) return value;
    }
    return {};
}

ProfileFileState profileFileState(store::FileAccess& files, const std::string& path) {
    std::string content;
    switch (store::readWholeFile(files, std::string(trimLeft(path)), kProfileFileMax, content)) {
        case store::Status::Ok:
            return ProfileFileState::Ok;
        case store::Status::NotFound:
            return ProfileFileState::Missing;
        case store::Status::BadPath:
            return ProfileFileState::NotAFile;
        case store::Status::NoMemory:
            return ProfileFileState::TooLarge;
        default:
            return ProfileFileState::Unreadable;
    }
}

store::Status lastProfileWriteError() { return lastWriteError; }

bool writeProfileStrings(store::FileAccess& files, const std::string& path,
                         const std::vector<ProfileChange>& changes) {
    lastWriteError = store::Status::BadPath;
    std::string file(trimLeft(path));
    if (file.empty()) return false;
    for (const ProfileChange& c : changes) {
        if (!validChange(c)) return false;
    }
    std::string content;
    // A file that cannot be read whole is not rewritten: what it holds would be lost.
    if (!readSettingsFile(files, file, content)) return false;
    std::vector<Line> lines = splitLines(content);
    for (const ProfileChange& c : changes) applyChange(lines, c);
    std::string joined = joinLines(lines);
    // A file past the limit would not be read by the next start: it is not written.
    if (joined.size() > kProfileFileMax) return false;
    lastWriteError = store::replaceWholeFile(files, file, joined);
    return lastWriteError == store::Status::Ok;
}

bool writeProfileString(store::FileAccess& files, const std::string& path,
                        const std::string& section, const std::string& key,
                        const std::string& value) {
    return writeProfileStrings(files, path, {ProfileChange{section, key, value}});
}

}  // namespace ledger
