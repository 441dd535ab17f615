#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "exchange/bill_import.h"
#include "exchange/exchange_files.h"
#include "exchange/import_plan.h"
#include "exchange/ledger_export.h"
#include "ledger/categories.h"
#include "ledger/gbk.h"
#include "ledger/ledger_open.h"
#include "ledger/ledger_schema.h"
#include "store/file_access.h"
#include "store/record_store.h"

namespace app {

namespace {

// A bill of a whole year is a few megabytes; a file far past this is no bill.
constexpr int64_t kImportByteLimit = 64 * 1024 * 1024;

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int fail(const std::string& utf8) {
    std::fprintf(stderr, "%s\n", utf8.c_str());
    return kFailed;
}

int usage(const QString& text) {
    std::fprintf(stderr, "%s\n%s\n", text.toUtf8().constData(),
                 QStringLiteral("用法见 --help").toUtf8().constData());
    return kUsage;
}

std::string native(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::optional<ledger::Date> readDay(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    const auto m = pattern.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const ledger::Date d{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()};
    if (!QDate(d.year, d.month, d.day).isValid()) return std::nullopt;
    return d;
}

struct Paths {
    std::string ledger;
    std::string settings;
};

// Opens the ledger as the window does: a file of another layout is refused and left as it is, and
// a repair keeps its copy aside and is named on standard error with where the copy is.
bool openLedgerFor(store::RecordStore& store, const std::string& path) {
    if (!ledger::openLedger(store, path)) return false;
    const std::vector<std::string> lines = ledger::repairLines(store.lastRepair());
    if (!lines.empty()) {
        std::fprintf(stderr, "数据库文件已修复：%s\n", path.c_str());
        for (const std::string& line : lines) {
            std::fprintf(stderr, "%s\n", ledger::gbkToUtf8(line).c_str());
        }
        std::fprintf(stderr, "修复前的原文件已完整复制为：%s\n",
                     store.lastRepair().copyPath.c_str());
    }
    return true;
}

int runExport(const QCommandLineParser& p, const Paths& paths) {
    const QString file = p.value(QStringLiteral("export"));
    exchange::ExportFilter filter;
    for (const char* name : {"from", "to"}) {
        if (!p.isSet(QString::fromLatin1(name))) continue;
        const QString text = p.value(QString::fromLatin1(name));
        const auto day = readDay(text);
        if (!day) {
            return usage(QStringLiteral("--%1 的日期应写作 YYYY-MM-DD：%2")
                             .arg(QString::fromLatin1(name), text));
        }
        (std::strcmp(name, "from") == 0 ? filter.from : filter.to) = day;
    }
    if (filter.from && filter.to &&
        QDate(filter.from->year, filter.from->month, filter.from->day) >
            QDate(filter.to->year, filter.to->month, filter.to->day)) {
        return usage(QStringLiteral("--to 的日期早于 --from 的日期"));
    }
    if (p.isSet(QStringLiteral("category"))) {
        const auto gbk = ledger::utf8ToGbk(p.value(QStringLiteral("category")).toStdString());
        if (!gbk) return usage(QStringLiteral("类别名含有 GBK 无法表示的字符"));
        filter.category = *gbk;
    }
    exchange::CsvEncoding encoding = exchange::CsvEncoding::Utf8;
    const QString enc = p.value(QStringLiteral("encoding")).toLower();
    if (enc == QLatin1String("gbk")) {
        encoding = exchange::CsvEncoding::Gbk;
    } else if (!enc.isEmpty() && enc != QLatin1String("utf-8") && enc != QLatin1String("utf8")) {
        return usage(QStringLiteral("--encoding 只能是 utf-8 或 gbk：%1").arg(enc));
    }
    if (!exchange::formatFromPath(native(file))) {
        return usage(QStringLiteral("%1：导出文件的扩展名应为 .csv 或 .xlsx").arg(file));
    }
    if (!QFileInfo::exists(QString::fromStdString(paths.ledger))) {
        return fail("找不到账本：" + QString::fromStdString(paths.ledger).toStdString());
    }
    store::RecordStore store;
    if (!openLedgerFor(store, paths.ledger)) {
        return fail("无法打开账本 " + paths.ledger + "：" +
                    ledger::gbkToUtf8(store::errorText(store::RecordStore::lastError())));
    }
    const auto result = exchange::exportToFile(store, filter, native(file), encoding);
    if (!result.ok) return fail(result.error);
    std::printf("%s\n",
                QStringLiteral("导出 %1 条到 %2").arg(result.count).arg(file).toUtf8().constData());
    return 0;
}

int runImport(const QCommandLineParser& p, const Paths& paths) {
    const QString file = p.value(QStringLiteral("import"));
    const bool dryRun = p.isSet(QStringLiteral("dry-run"));
    std::string bytes;
    std::string error;
    if (!exchange::readUserFile(native(file), kImportByteLimit, bytes, error)) {
        return fail(file.toStdString() + "：" + error);
    }
    exchange::ParsedFile parsed;
    exchange::ImportError bad;
    if (!exchange::parseImportFile(bytes, parsed, bad)) {
        return fail(exchange::importErrorText(file.toStdString(), bad));
    }
    // A trial run on a folder without a ledger plans against an empty one and writes nothing.
    exchange::PrivateTempDir scratch;
    std::string ledgerPath = paths.ledger;
    if (!QFileInfo::exists(QString::fromStdString(ledgerPath))) {
        if (dryRun) {
            if (scratch.path().empty()) return fail("无法创建临时文件夹");
            ledgerPath = scratch.path() + "/Database.edb";
        }
        // As the window's first start: the empty ledger, written whole or not at all, and never
        // over a ledger the window made meanwhile.
        const store::Status made =
            ledger::writeEmptyDatabase(*store::posixFileAccess(), ledgerPath);
        if (made != store::Status::Ok && made != store::Status::AccessDenied) {
            return fail("无法创建账本 " + ledgerPath + "：" +
                        ledger::gbkToUtf8(store::errorText(made)));
        }
    }
    store::RecordStore store;
    if (!openLedgerFor(store, ledgerPath)) {
        return fail("无法打开账本 " + ledgerPath + "：" +
                    ledger::gbkToUtf8(store::errorText(store::RecordStore::lastError())));
    }
    const auto categories =
        ledger::readCategories(ledger::Categories{paths.settings},
                               ledger::readCategoryCount(ledger::Categories{paths.settings}));
    exchange::ImportPlan plan;
    if (!exchange::planImport(store, categories, parsed, plan, error)) return fail(error);
    if (!dryRun) {
        std::vector<ledger::Entry> entries;
        entries.reserve(plan.toAdd.size());
        for (const auto& planned : plan.toAdd) entries.push_back(planned.entry);
        if (!exchange::addEntries(store, entries, error)) return fail(error);
    }
    QString line = QStringLiteral("导入 %1 条，跳过重复 %2 条，不计收支 %3 条")
                       .arg(plan.toAdd.size())
                       .arg(plan.duplicates)
                       .arg(plan.leftOut);
    if (dryRun) line += QStringLiteral("（试运行，账本未改动）");
    std::printf("%s\n", line.toUtf8().constData());
    return 0;
}

}  // namespace

bool wantsCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--", 2) == 0 || std::strcmp(argv[i], "-h") == 0 ||
            std::strcmp(argv[i], "-v") == 0 || std::strcmp(argv[i], "-?") == 0) {
            return true;
        }
    }
    return false;
}

int runCommand(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tamvelo"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("家庭记账本。不带参数时打开窗口；带命令时不开窗口，"
                       "在程序所在文件夹（或 --data 指定的文件夹）的账本上运行。"));
    p.addHelpOption();
    p.addVersionOption();
    p.addOptions({
        {QStringLiteral("export"),
         QStringLiteral("把账目导出到 FILE，格式按扩展名（.csv 或 .xlsx）。"),
         QStringLiteral("FILE")},
        {QStringLiteral("from"), QStringLiteral("导出从这一天起的账目。"),
         QStringLiteral("YYYY-MM-DD")},
        {QStringLiteral("to"), QStringLiteral("导出到这一天为止的账目。"),
         QStringLiteral("YYYY-MM-DD")},
        {QStringLiteral("category"), QStringLiteral("只导出这个类别的账目。"),
         QStringLiteral("NAME")},
        {QStringLiteral("encoding"), QStringLiteral("CSV 的编码：utf-8（默认，带 BOM）或 gbk。"),
         QStringLiteral("utf-8|gbk")},
        {QStringLiteral("import"),
         QStringLiteral("导入 FILE：本程序导出的 CSV、微信支付账单或支付宝账单。"),
         QStringLiteral("FILE")},
        {QStringLiteral("dry-run"), QStringLiteral("只报告导入会添加什么，不改动账本。")},
        {QStringLiteral("data"), QStringLiteral("账本所在的文件夹（默认为程序所在文件夹）。"),
         QStringLiteral("DIR")},
    });
    if (!p.parse(QCoreApplication::arguments())) return usage(p.errorText());
    if (p.isSet(QStringLiteral("help"))) p.showHelp(0);
    if (p.isSet(QStringLiteral("version"))) p.showVersion();
    if (!p.positionalArguments().isEmpty()) {
        return usage(QStringLiteral("多余的参数：%1").arg(p.positionalArguments().join(u' ')));
    }
    const bool exporting = p.isSet(QStringLiteral("export"));
    const bool importing = p.isSet(QStringLiteral("import"));
    if (exporting == importing) {
        return usage(exporting ? QStringLiteral("--export 和 --import 不能同时使用")
                               : QStringLiteral("需要 --export FILE 或 --import FILE"));
    }
    for (const char* name : {"from", "to", "category", "encoding"}) {
        if (importing && p.isSet(QString::fromLatin1(name))) {
            return usage(QStringLiteral("--%1 只用于 --export").arg(QString::fromLatin1(name)));
        }
    }
    if (exporting && p.isSet(QStringLiteral("dry-run"))) {
        return usage(QStringLiteral("--dry-run 只用于 --import"));
    }
    const QDir dir(p.isSet(QStringLiteral("data")) ? p.value(QStringLiteral("data"))
                                                   : QCoreApplication::applicationDirPath());
    if (!dir.exists()) return fail("找不到文件夹：" + dir.path().toStdString());
    const Paths paths{native(dir.absoluteFilePath(QStringLiteral("Database.edb"))),
                      native(dir.absoluteFilePath(QStringLiteral("pz.ini")))};
    return exporting ? runExport(p, paths) : runImport(p, paths);
}

}  // namespace app
