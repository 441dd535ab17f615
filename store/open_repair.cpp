#include "store/open_repair.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <set>

#include "store/coding.h"
#include "store/format.h"
#include "store/table_check.h"
#include "store/whole_file.h"

namespace store {

namespace fmt = format;

namespace {

constexpr int kMaxCopyNames = 1000;

int32_t get32(const unsigned char* p) { return coding::decodeI32(p); }
// Serials and counts are written from 64-bit sums; each fits in 32 bits by then.
void put32(unsigned char* p, int64_t v) { coding::encodeI32(p, static_cast<int32_t>(v)); }

// Reads the records [first, end) in chunks and hands each to `visit` with its index.
template <class Visit>
Status walk(const RepairTable& t, int64_t first, int64_t end, Visit visit) {
    if (first >= end)
        return Status::Ok;  // a table of huge records and none of them needs no buffer
    const int64_t len = t.recordLength;
    const int64_t per =
        std::min<int64_t>(std::max<int64_t>(1, fmt::kChunkBytes / len), end - first);
    std::vector<unsigned char> buf(static_cast<size_t>(per * len));
    for (int64_t at = first; at < end; at += per) {
        int64_t n = std::min(per, end - at);
        IoResult r =
            t.file->readAt(t.dataStart + at * len, buf.data(), static_cast<size_t>(n * len));
        if (!r.ok()) return r.status;
        if (r.bytes < n * len) return Status::ReadRecordFailed;
        for (int64_t i = 0; i < n; ++i) visit(at + i, buf.data() + i * len);
    }
    return Status::Ok;
}

Status writeSerial(const RepairTable& t, int64_t index, int64_t serial) {
    unsigned char b[fmt::kSerialSize];
    put32(b, serial);
    IoResult w =
        t.file->writeAt(t.dataStart + index * t.recordLength + fmt::kSerialOffset, b, sizeof b);
    return w.ok() ? Status::Ok : w.status;
}

Status writeHeaderInt(const RepairTable& t, int64_t offset, int64_t value) {
    unsigned char b[4];
    put32(b, value);
    IoResult w = t.file->writeAt(offset, b, sizeof b);
    return w.ok() ? Status::Ok : w.status;
}

Status sync(const RepairTable& t) { return t.file->sync(); }

std::string localStamp() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char b[32];
    std::strftime(b, sizeof b, "%Y%m%d-%H%M%S", &tm);
    return b;
}

// Copies the whole file, as it is now, to a new file beside it under a name no file has; the
// copy and the folder are flushed, so that the copy is on disk before the repair's first write.
Status copyAside(const RepairTable& t, int64_t size, std::string& copyPath) {
    std::string bytes(static_cast<size_t>(size), '\0');
    IoResult r = t.file->readAt(0, bytes.data(), bytes.size());
    if (!r.ok()) return r.status;
    if (r.bytes < size) return Status::ReadRecordFailed;
    const std::string stamp = localStamp();
    for (int attempt = 1; attempt <= kMaxCopyNames; ++attempt) {
        std::string name = beforeRepairName(t.path, stamp, attempt);
        PathInfo there;
        Status s = t.access->stat(name, there);
        if (s != Status::Ok) return s;
        if (there.kind != PathKind::Missing) continue;
        s = createWholeFile(*t.access, name, bytes);
        if (s != Status::Ok) return s;
        copyPath = name;
        return Status::Ok;
    }
    return Status::AccessDenied;
}

}  // namespace

std::string beforeRepairName(const std::string& path, const std::string& stamp, int attempt) {
    size_t slash = path.find_last_of('/');
    size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameAt) dot = path.size();
    std::string tag = "-" + stamp + (attempt > 1 ? "-" + std::to_string(attempt) : "");
    return path.substr(0, dot) + tag + "-before-repair" + path.substr(dot);
}

Status repairAtOpen(const RepairTable& t, RepairReport& report) {
    report = {};
    unsigned char h[fmt::kCountAndSerialSize];
    IoResult r = t.file->readAt(fmt::kCountOffset, h, sizeof h);
    if (!r.ok() || r.bytes < static_cast<int64_t>(sizeof h)) return Status::ReadCountFailed;
    const int32_t count = get32(h);
    const int32_t next = get32(h + 4);
    IoResult size = t.file->size();
    if (!size.ok()) return size.status;
    const int64_t len = t.recordLength;
    const int64_t fit =
        std::min<int64_t>(INT32_MAX, std::max<int64_t>(0, size.bytes - t.dataStart) / len);
    // A count naming records of which not one is whole means a damaged record length (one far
    // beyond the file), not a cut file: the file is refused and left as it is.
    if (fit < count && fit == 0) return Status::BadFileSize;
    const int64_t counted = std::min<int64_t>(count, fit);

    const RecordShape shape(t.fields, t.recordLength);
    const bool trusted = layoutFillsRecord(t.fields, t.recordLength);
    auto intact = [&](const unsigned char* rec) {
        return trusted && shape.wellFormed(rec) && (!t.validEntry || t.validEntry(rec));
    };

    // The counted records: the live ones, the serials of the marked ones, and the slots of
    // serial 0 (empty ones hold nothing, others an entry without its serial). Only serials and
    // positions are kept, so that a start over a million entries stays quick; the few records
    // that need judging are read again.
    struct Live {
        int32_t serial;
        int64_t index;
        bool operator<(const Live& o) const {
            return serial != o.serial ? serial < o.serial : index < o.index;
        }
    };
    std::vector<Live> live;
    std::vector<int64_t> markedSerials, emptySlots, unnumbered;
    int64_t maxSerial = 0;
    Status c = walk(t, 0, counted, [&](int64_t i, const unsigned char* rec) {
        int32_t s = get32(rec + fmt::kSerialOffset);
        if (s > 0) {
            live.push_back({s, i});
            maxSerial = std::max<int64_t>(maxSerial, s);
        } else if (s < 0) {
            markedSerials.push_back(-int64_t{s});
        } else if (std::all_of(rec, rec + len, [](unsigned char b) { return b == 0; })) {
            emptySlots.push_back(i);
        } else {
            unnumbered.push_back(i);
        }
    });
    if (c != Status::Ok) return c;
    const int32_t marked = static_cast<int32_t>(markedSerials.size());
    std::sort(live.begin(), live.end());
    std::sort(markedSerials.begin(), markedSerials.end());
    auto firstOf = [&](int32_t s) {
        auto it = std::lower_bound(live.begin(), live.end(), Live{s, -1});
        return it != live.end() && it->serial == s ? it->index : int64_t{-1};
    };
    auto taken = [&](int32_t s) {
        return firstOf(s) >= 0 || std::binary_search(markedSerials.begin(), markedSerials.end(), s);
    };
    std::vector<unsigned char> one;  // a record read again to be judged
    auto readRecord = [&](int64_t i, std::vector<unsigned char>& into) {
        into.resize(static_cast<size_t>(len));
        IoResult rr = t.file->readAt(t.dataStart + i * len, into.data(), into.size());
        return rr.ok() && rr.bytes == len;
    };

    // Whole records past the count. One is kept when it is live, intact and holds a serial of
    // its own that the header says was given (below nextSerial): the count was damaged. An
    // append cut short between its record and its count leaves a record of serial nextSerial
    // itself, never acknowledged, which goes as before; the rest are the old places of records a
    // purge moved, torn records, or bytes that never were a record.
    // What an append or a purge cut short leaves past the count is tidied away without a word,
    // as every open always has: a record of serial nextSerial (never acknowledged), marked or
    // empty slots, and records byte for byte the same as a counted one (a purge's old places).
    std::map<int32_t, std::vector<int64_t>> candidates;
    bool tailIsLeftover = true;
    std::vector<unsigned char> counterpart;  // taken only when the file holds a tail record
    if (count <= fit) {
        c = walk(t, count, fit, [&](int64_t i, const unsigned char* rec) {
            int32_t s = get32(rec + fmt::kSerialOffset);
            if (s > 0 && s < next && !taken(s) && intact(rec)) candidates[s].push_back(i);
            if (s <= 0 || s == next) return;
            int64_t same = firstOf(s);
            bool copy = same >= 0 && readRecord(same, counterpart) &&
                        std::memcmp(counterpart.data(), rec, counterpart.size()) == 0;
            if (!copy) tailIsLeftover = false;
        });
        if (c != Status::Ok) return c;
    }
    std::set<int64_t> keptTail;
    int64_t maxTailSerial = 0;
    for (const auto& [s, at] : candidates) {
        if (at.size() != 1) continue;  // two records claim the serial: neither can be told true
        keptTail.insert(at.front());
        maxTailSerial = std::max<int64_t>(maxTailSerial, s);
    }
    const int64_t lastKept = keptTail.empty() ? -1 : *keptTail.rbegin();
    std::vector<int64_t> tailMarks;
    for (int64_t i = count; i <= lastKept; ++i) {
        if (!keptTail.count(i)) tailMarks.push_back(i);
    }
    const int64_t newCount = fit < count ? fit : (lastKept >= 0 ? lastKept + 1 : count);

    // Two counted records of one serial: a purge writes a record's copy below it and overwrites
    // the original only once the copy is complete, so the highest is the original and the lower
    // ones are its copies, whole or torn. A lower one goes when it is the same bytes as the
    // original (checked byte for byte), or when the original is intact (a torn copy holds the
    // original's first bytes and stale ones after them, which no check can tell from an entry).
    std::vector<int64_t> copies;
    std::vector<unsigned char> original, lower;
    for (size_t i = 0; i < live.size();) {
        size_t j = i;
        while (j + 1 < live.size() && live[j + 1].serial == live[i].serial) ++j;
        if (j > i && readRecord(live[j].index, original)) {
            const bool trustOriginal = intact(original.data());
            for (size_t k = i; k < j; ++k) {
                if (trustOriginal || (readRecord(live[k].index, lower) && lower == original)) {
                    copies.push_back(live[k].index);
                }
            }
        }
        i = j + 1;
    }

    // nextSerial must lie above every serial kept, and above those given to unnumbered records.
    int64_t newNext = std::max<int64_t>({next, maxSerial + 1, maxTailSerial + 1});
    std::vector<std::pair<int64_t, int64_t>> given;  // index, serial
    for (int64_t i : unnumbered) {
        if (newNext >= INT32_MAX) break;
        given.emplace_back(i, newNext++);
    }
    newNext = std::min<int64_t>(newNext, INT32_MAX);

    const bool purge = !copies.empty() || !emptySlots.empty() || !tailMarks.empty() ||
                       (t.purgeMarked && marked > 0);
    const int64_t end = t.dataStart + newCount * len;
    const bool change =
        newCount != count || newNext != next || !given.empty() || purge || size.bytes != end;
    if (!change) return Status::Ok;
    // A repair reads records by the layout: one that does not tile the record is no table whose
    // records can be told apart from their remains, so nothing is changed.
    if (!trusted) return Status::NotADatabase;
    const bool onlyLeftovers = tailIsLeftover && keptTail.empty() && newCount == count &&
                               newNext == next && given.empty() && !purge;
    if (onlyLeftovers) {
        if ((c = t.file->truncate(end)) != Status::Ok) return c;
        return sync(t);
    }

    std::string copyPath;
    c = copyAside(t, size.bytes, copyPath);
    if (c != Status::Ok) return c;
    report.copyPath = copyPath;
    report.countBefore = count;
    report.countAfter = static_cast<int32_t>(newCount);
    report.nextSerialBefore = next;
    report.nextSerialAfter = static_cast<int32_t>(newNext);
    report.uncountedKept = static_cast<int32_t>(keptTail.size());
    report.copiesRemoved = static_cast<int32_t>(copies.size());
    report.serialsGiven = static_cast<int32_t>(given.size());
    report.emptySlotsRemoved = static_cast<int32_t>(emptySlots.size());
    report.markedPurged = purge ? marked : 0;
    report.bytesCut =
        std::max<int64_t>(0, size.bytes - end) + static_cast<int64_t>(tailMarks.size()) * len;

    // Each step is flushed before the next, and each leaves a file that the next open repairs
    // the same way: nextSerial first (raising it never loses anything), then the serials given,
    // then the marks, then the count, the cut and the purge.
    if (newNext != next) {
        if ((c = writeHeaderInt(t, fmt::kNextSerialOffset, newNext)) != Status::Ok) return c;
        if ((c = sync(t)) != Status::Ok) return c;
    }
    for (const auto& [i, s] : given) {
        if ((c = writeSerial(t, i, s)) != Status::Ok) return c;
    }
    std::vector<int64_t> marks = copies;
    marks.insert(marks.end(), emptySlots.begin(), emptySlots.end());
    marks.insert(marks.end(), tailMarks.begin(), tailMarks.end());
    for (int64_t i : marks) {
        unsigned char b[fmt::kSerialSize];
        IoResult rr = t.file->readAt(t.dataStart + i * len + fmt::kSerialOffset, b, sizeof b);
        if (!rr.ok() || rr.bytes < fmt::kSerialSize) return Status::ReadRecordFailed;
        int32_t s = get32(b);
        if (s < 0) continue;  // marked already
        if ((c = writeSerial(t, i, s > 0 ? -int64_t{s} : -1)) != Status::Ok) return c;
    }
    if (!given.empty() || !marks.empty()) {
        if ((c = sync(t)) != Status::Ok) return c;
    }
    if (newCount != count) {
        if ((c = writeHeaderInt(t, fmt::kCountOffset, newCount)) != Status::Ok) return c;
        if ((c = sync(t)) != Status::Ok) return c;
    }
    if (size.bytes != end) {
        if ((c = t.file->truncate(end)) != Status::Ok) return c;
        if ((c = sync(t)) != Status::Ok) return c;
    }
    if (purge) return t.purge();
    return Status::Ok;
}

}  // namespace store
