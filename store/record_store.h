#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/file_access.h"
#include "store/open_policy.h"
#include "store/status.h"
#include "store/store_value.h"

namespace store {

struct Field;
struct RecordLayout;

// One record as the batch read hands it to its visitor. Valid only during the visit.
class RecordView {
  public:
    int32_t index() const;   // 0-based position in store order
    int32_t serial() const;  // positive for a live record, negated when marked deleted
    bool isDeleted() const { return serial() < 0; }
    // The field at 1-based position p decoded by its type, as readField would return it.
    StoreValue field(int p) const;
    // Cheap typed reads of field p (no allocation): integers and Bool as int64, Float and Double
    // as the widened real, Text as the bytes up to the first NUL.
    int64_t integer(int p) const;
    double real(int p) const;
    std::string_view text(int p) const;

  private:
    friend class RecordStore;
    const Field* viewed(int p) const;
    const RecordLayout* layout_ = nullptr;
    const unsigned char* bytes_ = nullptr;
    int32_t index_ = 0;
};

// The open database and its cursor. Not safe for overlapping calls from several threads:
// callers keep their uses apart. Failures are reported by result and lastError(), never by
// exceptions.
class RecordStore {
  public:
    explicit RecordStore(std::shared_ptr<FileAccess> files = posixFileAccess());
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Opens an existing database for reading and writing, checks its header and descriptors and
    // repairs what an interrupted append, delete or purge leaves (open_repair.h): the count is
    // made to name the whole records, uncounted whole valid records with serials of their own
    // are counted, nextSerial is raised above every serial present, and only provable copies are
    // removed. Before its first change it copies the file aside whole; lastRepair() says what it
    // did. A file that may only be read is opened read-only (nothing changed; shorter than its
    // count: BadFileSize). Opening while open on another path closes that one first; on the same
    // path (ignoring case): AlreadyOpen.
    // On failure returns false, sets lastError(), leaves the store closed and the file unchanged
    // (a repair that fails after its copy leaves every record in the file).
    bool open(const std::string& path);
    // As open(path), with what the opener knows of the table (open_policy.h).
    bool open(const std::string& path, const OpenPolicy& policy);
    // What the last writable open changed, with the path of the copy it made first.
    const RepairReport& lastRepair() const;
    // Closes the store if `path` names it (ignoring case) or is empty; writes nothing.
    void close(const std::string& path = {});
    bool isOpen() const;

    // Records in the file, live and marked alike, read from the file each time; 0 on failure.
    int32_t recordCount();
    // Puts the cursor on the first record (position 0); reads nothing.
    void goToFirst();
    // Puts the cursor on 1-based record n, limited to the records present (0 when empty).
    bool goTo(int32_t n);
    // Moves the cursor by n, not past -1 or recordCount(); fails with -26/-25 when already past.
    bool skip(int32_t n = 1);
    // The current record's field p. No open store or no such field stops the program through the
    // fatal handler; other failures give the type's zero value and set lastError().
    StoreValue readField(int p);
    // Rewrites only field p of the current record and flushes it. On failure nothing is written
    // (or, when only the flush failed, the field may not be on disk).
    bool writeField(int p, const StoreValue& value);
    // As writeField, but only while the current record still holds `serial` (checked under the
    // record's lock, as for markDeletedIf); a record that holds another serial now is left
    // alone: false with -60.
    bool writeFieldIf(int p, const StoreValue& value, int32_t serial);
    // Appends one record built from `values` in field order; fields past the last value stay
    // zero. The record is written and flushed before the count is raised, and the count is
    // flushed before success, so a crash leaves only uncounted bytes and success means on disk. On
    // failure returns false, sets lastError(), and the count is unchanged. A file whose nextSerial
    // is INT32_MAX takes no more records (-1): no serial could follow. `serial`, when given,
    // receives the serial the record was given: once the locks are released another instance's
    // purge may move the record away from the cursor.
    bool appendRecord(const std::vector<StoreValue>& values, int32_t* serial = nullptr);
    // Marks the current record deleted (negates its serial); the cursor stays.
    bool markDeleted();
    // Marks the current record deleted only while it still holds `serial`, checked under the
    // record's lock: another instance's purge may have moved the records since this one located
    // it. A record that holds another serial now is left alone: false with -60.
    bool markDeletedIf(int32_t serial);
    // Removes every marked record, keeping the order and serials of the others; cursor 0.
    // Records move down in file order, so a cut-short purge leaves every live record at least
    // once and the old count; the next open for writing drops the lower copies. A chunk that
    // cannot be read ends the walk: moved records stay moved, the slots they left are marked
    // deleted, the count stays, and the unread records stay counted in place (-62). A failed
    // write marks the duplicate copies at once when it can (else the next open does).
    bool purgeDeleted();

    // The serial of the current record (negative when marked); 0 with lastError() set when there
    // is no current record.
    int32_t currentSerial();

    // Batch read for walks: hands `visit` every record in store order, under one whole-file lock,
    // reading the record area in chunks; the cursor does not move. `fields` names the 1-based
    // fields the visitor reads (each must exist, else -61). The visitor returns false to stop
    // early. It runs while the whole file is locked, so it must not call back into the store or
    // process window events (another instance's operations wait meanwhile, up to 2000 ms). On a
    // failure the records read so far have been visited; returns false with lastError() set.
    bool readRecords(std::span<const int> fields,
                     const std::function<bool(const RecordView&)>& visit);

    // What was read at open (0 when closed).
    int32_t fieldCount() const;
    int32_t recordLength() const;

    // The code of the most recent operation on this thread, 0 for success (a Status value;
    // errorText gives its text).
    static int32_t lastError();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Called for the two fatal misuses of readField with the GBK message text; must not return.
// The default writes the message to standard error and ends the process with exit code -1.
using FatalHandler = void (*)(const std::string& message);
void setFatalHandler(FatalHandler handler);

}  // namespace store
