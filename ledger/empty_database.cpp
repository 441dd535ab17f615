#include <cstring>

#include "ledger/ledger_schema.h"
#include "ledger/value_texts.h"
#include "store/coding.h"
#include "store/format.h"
#include "store/whole_file.h"

namespace ledger {

namespace {

namespace fmt = store::format;

struct FieldLayout {
    const char* name;  // GBK
    uint32_t type;
    int32_t width;  // Text only; 0 for fixed-width types
};

// The nine fields in position order; each lies right after the one before, from offset 4.
constexpr FieldLayout kFields[kFieldCount] = {
    {"\xc0\xe0\xd0\xcd", fmt::kBool, 0},               // 类型
    {kYear, fmt::kInt, 0},                             // 年
    {kMonth, fmt::kInt, 0},                            // 月
    {kDay, fmt::kInt, 0},                              // 日
    {"\xca\xb1", fmt::kText, kTimeWidth},              // 时
    {"\xcf\xee\xc4\xbf", fmt::kText, kItemWidth},      // 项目
    {"\xbd\xf0\xb6\xee", fmt::kFloat, 0},              // 金额
    {"\xb1\xb8\xd7\xa2", fmt::kText, kNoteWidth},      // 备注
    {"\xc0\xe0\xb1\xf0", fmt::kText, kCategoryWidth},  // 类别
};

// The creation time every new ledger carries: 2010-02-20 19:20:08 as a DateTime.
constexpr unsigned char kCreatedAt[8] = {0x0C, 0xA0, 0xDE, 0xC7, 0xB9, 0xA4, 0xE3, 0x40};

void put32(std::string& s, int64_t at, uint32_t v) {
    store::coding::encodeU32(&s[static_cast<size_t>(at)], v);
}

}  // namespace

std::string emptyLedgerDatabase() {
    std::string bytes(static_cast<size_t>(fmt::dataStart(kFieldCount)), '\0');
    std::memcpy(&bytes[fmt::kMagicOffset], fmt::kMagic, fmt::kMagicSize);
    put32(bytes, fmt::kVersionOffset, fmt::kVersion);
    std::memcpy(&bytes[fmt::kCreatedAtOffset], kCreatedAt, sizeof kCreatedAt);
    put32(bytes, fmt::kCountOffset, 0);
    put32(bytes, fmt::kNextSerialOffset, kFirstSerial);
    put32(bytes, fmt::kRecordLengthOffset, kLedgerRecordLength);
    put32(bytes, fmt::kFieldCountOffset, kFieldCount);
    int32_t offset = static_cast<int32_t>(fmt::kSerialSize);
    for (int i = 0; i < kFieldCount; ++i) {
        const FieldLayout& f = kFields[i];
        int64_t d = fmt::kDescriptorsOffset + fmt::kDescriptorSize * i;
        std::memcpy(&bytes[d + fmt::kNameOffset], f.name, std::strlen(f.name));
        put32(bytes, d + fmt::kTypeOffset, f.type);
        put32(bytes, d + fmt::kFieldOffsetOffset, static_cast<uint32_t>(offset));
        put32(bytes, d + fmt::kWidthOffset, static_cast<uint32_t>(f.width));
        offset += f.type == fmt::kText ? f.width : fmt::fixedWidth(f.type);
    }
    return bytes;
}

store::Status writeEmptyDatabase(store::FileAccess& files, const std::filesystem::path& path) {
    return store::createWholeFile(files, path, emptyLedgerDatabase());
}

}  // namespace ledger
