#pragma once

// Helpers for the tests that run the ledger database in several processes: a scratch directory
// with a fresh Database.edb, entries told apart by their item text, and a read of every live
// entry.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "ledger/field_positions.h"
#include "ledger/ledger_schema.h"
#include "store/record_store.h"

namespace ledger_test {

class LedgerDir {
  public:
    LedgerDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ledger_proc_XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        dir_ = ::mkdtemp(buf.data());
        std::ofstream out(path(), std::ios::binary);
        std::string bytes = ledger::emptyLedgerDatabase();
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~LedgerDir() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string path() const { return (dir_ / "Database.edb").string(); }
    std::string bytes() const {
        std::ifstream in(path(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    std::filesystem::path dir_;
};

inline std::string itemOf(int64_t id) { return "e" + std::to_string(id); }

// A nine-field entry whose item names `id` and whose note is `note`.
inline std::vector<store::StoreValue> entryValues(int64_t id, const std::string& note) {
    using store::StoreValue;
    return {StoreValue::ofBool(id % 2 == 0),
            StoreValue::ofInt(2026),
            StoreValue::ofInt(12),
            StoreValue::ofInt(11),
            StoreValue::ofText("08\xca\xb1"
                               "05\xb7\xd6"),  // 08时05分
            StoreValue::ofText(itemOf(id)),
            StoreValue::ofFloat(static_cast<float>(id % 1000) * 0.5f),
            StoreValue::ofText(note),
            StoreValue::ofText("\xc6\xe4\xcb\xfc\xbf\xaa\xd6\xa7")};  // 其它开支
}

struct LiveEntry {
    int32_t serial = 0;
    int32_t index = 0;
    std::string note;
    int copies = 0;
};

// Every live entry by id, with how many live records carry it; ids that do not parse go under
// -1. Returns false when the walk fails.
inline bool liveEntries(store::RecordStore& db, std::map<int64_t, LiveEntry>& out) {
    out.clear();
    const int fields[] = {ledger::kFieldItem, ledger::kFieldNote};
    return db.readRecords(fields, [&](const store::RecordView& r) {
        if (r.isDeleted()) return true;
        std::string item(r.text(ledger::kFieldItem));
        int64_t id = item.size() > 1 && item[0] == 'e' ? std::stoll(item.substr(1)) : -1;
        LiveEntry& e = out[id];
        e.serial = r.serial();
        e.index = r.index();
        e.note = std::string(r.text(ledger::kFieldNote));
        ++e.copies;
        return true;
    });
}

// Whether the file ends exactly after its counted records, as a writable open leaves it, and
// whether its count names only records the file holds.
inline bool lengthMatchesCount(const std::string& bytes, bool exact) {
    if (bytes.size() < 24) return false;
    auto get32 = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
        return static_cast<int32_t>(v);
    };
    int64_t end = 116 + 72 * ledger::kFieldCount + int64_t{get32(16)} * ledger::kLedgerRecordLength;
    return exact ? static_cast<int64_t>(bytes.size()) == end
                 : static_cast<int64_t>(bytes.size()) >= end;
}

}  // namespace ledger_test
