#include "ledger/ledger_open.h"

#include "ledger/entry.h"
#include "ledger/gbk.h"
#include "ledger/ledger_schema.h"
#include "ledger/value_texts.h"
#include "store/format.h"

namespace ledger {

namespace {

namespace fmt = store::format;

// The texts below are written in UTF-8 for the reader and handed on in GBK like every ledger
// text; each of them has a GBK form.
std::string gbk(const std::string& utf8) { return utf8ToGbk(utf8).value_or(std::string()); }

std::string number(int64_t n) { return gbkToUtf8(integerText(n)); }

}  // namespace

store::OpenPolicy ledgerOpenPolicy() {
    store::OpenPolicy p;
    const std::pair<uint32_t, int32_t> fields[kFieldCount] = {
        {fmt::kBool, 1},  {fmt::kInt, 4},           {fmt::kInt, 4},
        {fmt::kInt, 4},   {fmt::kText, kTimeWidth}, {fmt::kText, kItemWidth},
        {fmt::kFloat, 4}, {fmt::kText, kNoteWidth}, {fmt::kText, kCategoryWidth},
    };
    int32_t offset = static_cast<int32_t>(fmt::kSerialSize);
    for (const auto& [type, width] : fields) {
        p.fields.push_back({type, offset, width});
        offset += width;
    }
    p.validEntry = [](const store::RecordView& r) {
        int64_t month = r.integer(entry_fields::kMonth), day = r.integer(entry_fields::kDay);
        return month >= 1 && month <= 12 && day >= 1 && day <= 31;
    };
    p.purgeMarked = true;
    return p;
}

bool openLedger(store::RecordStore& store, const std::string& path) {
    return store.open(path, ledgerOpenPolicy());
}

std::vector<std::string> repairLines(const store::RepairReport& r) {
    std::vector<std::string> lines;
    if (!r.changed()) return lines;
    if (r.countAfter < r.countBefore && r.uncountedKept == 0) {
        lines.push_back(gbk("记录数由 " + number(r.countBefore) + " 改为 " + number(r.countAfter) +
                            "：文件里只有这么多完整的记录。"));
    }
    if (r.uncountedKept > 0) {
        lines.push_back(gbk("找回记录数之外的 " + number(r.uncountedKept) +
                            " 条完整记录，记录数由 " + number(r.countBefore) + " 改为 " +
                            number(r.countAfter) + "。"));
    }
    if (r.nextSerialAfter != r.nextSerialBefore) {
        lines.push_back(gbk("下一个记录序号由 " + number(r.nextSerialBefore) + " 提高到 " +
                            number(r.nextSerialAfter) + "，记录一条未删。"));
    }
    if (r.copiesRemoved > 0) {
        lines.push_back(gbk("删除了中断的整理留下的 " + number(r.copiesRemoved) +
                            " 条重复副本（原记录都在）。"));
    }
    if (r.markedPurged > 0) {
        lines.push_back(
            gbk("清除了中断的删除留下的 " + number(r.markedPurged) + " 条已标记删除的记录。"));
    }
    if (r.serialsGiven > 0) {
        lines.push_back(gbk("为 " + number(r.serialsGiven) + " 条没有序号的记录分配了新序号。"));
    }
    if (r.emptySlotsRemoved > 0) {
        lines.push_back(gbk("删除了 " + number(r.emptySlotsRemoved) + " 个全为零的空记录。"));
    }
    if (r.bytesCut > 0) {
        lines.push_back(gbk("截去了文件末尾不属于任何记录的 " + number(r.bytesCut) + " 字节。"));
    }
    return lines;
}

std::string writeFailureReason(store::Status why) {
    switch (why) {
        case store::Status::DiskFull:
            return gbk("磁盘已满");
        case store::Status::AccessDenied:
            return gbk("文件只读");
        case store::Status::LockViolation:
        case store::Status::SharingViolation:
            return gbk("文件被另一个程序锁定");
        case store::Status::HardwareFault:
            return gbk("磁盘读写故障");
        case store::Status::NotFound:
            return gbk("文件不存在");
        case store::Status::BadPath:
            return gbk("文件无法访问");
        case store::Status::NoCurrentRecord:
            return gbk("记录已被另一个程序移动或删除");
        case store::Status::WriteNotOpen:
        case store::Status::NotOpen:
            return gbk("数据库未打开");
        default:
            break;
    }
    return gbk("写入失败，错误 " + number(store::code(why)));
}

std::string writeFailureStatus(const std::string& action, store::Status why) {
    return "  " + action + gbk("失败：") + writeFailureReason(why);
}

}  // namespace ledger
