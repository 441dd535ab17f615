// Whole files through the file seam: the exclusive create, the atomic replace, the whole-file
// read with its byte limit and the folder operations, on the real POSIX layer in a scratch
// directory and on the in-memory layer, which must behave alike; then what only a real disk
// shows (FIFOs and devices, links, permissions, a disk that refuses a write); then every cut
// point of a create and of a replace through the fault layer.

#include "store/whole_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "test_files.h"
#include "testsupport/fault_file_access.h"
#include "testsupport/forwarding_file_access.h"
#include "testsupport/memory_file_access.h"

using namespace store;
using namespace store_test;
using testsupport::FaultFileAccess;
using testsupport::FaultPlan;
using testsupport::MemoryFileAccess;
namespace fs = std::filesystem;

namespace {

// One layer under test, with its own way to plant and inspect files without the seam.
class Layer {
  public:
    virtual ~Layer() = default;
    virtual std::shared_ptr<FileAccess> files() = 0;
    virtual fs::path dir() const = 0;
    virtual void put(const std::string& name, const std::string& bytes) = 0;
    // The bytes of the file `name`; nullopt when there is none.
    virtual std::optional<std::string> get(const std::string& name) const = 0;
    // Every name in the folder, files and folders alike, sorted.
    virtual std::vector<std::string> names() const = 0;
    // Removes every file of the folder.
    virtual void clear() = 0;
    fs::path at(const std::string& name) const { return dir() / name; }
};

class DiskLayer : public Layer {
  public:
    std::shared_ptr<FileAccess> files() override { return posixFileAccess(); }
    fs::path dir() const override { return fs::path(scratch_.path("x")).parent_path(); }
    void put(const std::string& name, const std::string& bytes) override {
        writeBytes(at(name).string(), bytes);
    }
    std::optional<std::string> get(const std::string& name) const override {
        if (!fs::is_regular_file(at(name))) return std::nullopt;
        return readBytes(at(name).string());
    }
    std::vector<std::string> names() const override {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir())) out.push_back(e.path().filename());
        std::sort(out.begin(), out.end());
        return out;
    }
    void clear() override {
        for (const auto& e : fs::directory_iterator(dir())) fs::remove_all(e.path());
    }

  private:
    ScratchDir scratch_;
};

class MemoryLayer : public Layer {
  public:
    MemoryLayer() { mem_->createFolder(dir()); }
    std::shared_ptr<FileAccess> files() override { return mem_; }
    fs::path dir() const override { return "/mem"; }
    void put(const std::string& name, const std::string& bytes) override {
        mem_->put(at(name), bytes);
    }
    std::optional<std::string> get(const std::string& name) const override {
        if (!mem_->has(at(name))) return std::nullopt;
        return mem_->bytes(at(name));
    }
    std::vector<std::string> names() const override {
        std::vector<fs::path> files;
        mem_->listFiles(dir(), files);
        std::vector<std::string> out(files.begin(), files.end());
        PathInfo info;
        for (const char* folder : {"sub", "adir"}) {
            if (mem_->stat(at(folder), info) == Status::Ok && info.kind == PathKind::Folder)
                out.push_back(folder);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    void clear() override {
        std::vector<fs::path> files;
        mem_->listFiles(dir(), files);
        for (const fs::path& f : files) mem_->removeFile(dir() / f);
    }

  private:
    std::shared_ptr<MemoryFileAccess> mem_ = std::make_shared<MemoryFileAccess>();
};

struct LayerKind {
    const char* name;
    std::function<std::unique_ptr<Layer>()> make;
};

// Names the layer in the test's name and messages.
void PrintTo(const LayerKind& k, std::ostream* os) { *os << k.name; }

const LayerKind kLayers[] = {
    {"Posix", [] { return std::make_unique<DiskLayer>(); }},
    {"Memory", [] { return std::make_unique<MemoryLayer>(); }},
};

class WholeFiles : public ::testing::TestWithParam<LayerKind> {
  protected:
    void SetUp() override {
        layer = GetParam().make();
        files = layer->files();
    }
    std::unique_ptr<Layer> layer;
    std::shared_ptr<FileAccess> files;
};

using Names = std::vector<std::string>;

TEST_P(WholeFiles, CreateWritesANewFileAndNeverReplacesOne) {
    EXPECT_EQ(createWholeFile(*files, layer->at("a"), "first"), Status::Ok);
    EXPECT_EQ(layer->get("a"), "first");
    EXPECT_EQ(createWholeFile(*files, layer->at("a"), "second"), Status::AccessDenied);
    EXPECT_EQ(layer->get("a"), "first");
    EXPECT_EQ(createWholeFile(*files, layer->at("empty"), ""), Status::Ok);
    EXPECT_EQ(layer->get("empty"), "");
    EXPECT_EQ(layer->names(), (Names{"a", "empty"}));  // no temporary file stays
}

TEST_P(WholeFiles, ReplaceCreatesOrReplacesAndRefusesAFolder) {
    EXPECT_EQ(replaceWholeFile(*files, layer->at("b"), "one"), Status::Ok);
    EXPECT_EQ(replaceWholeFile(*files, layer->at("b"), "two, longer"), Status::Ok);
    EXPECT_EQ(replaceWholeFile(*files, layer->at("b"), "3"), Status::Ok);
    EXPECT_EQ(layer->get("b"), "3");
    ASSERT_EQ(files->createFolder(layer->at("sub")), Status::Ok);
    EXPECT_EQ(replaceWholeFile(*files, layer->at("sub"), "x"), Status::BadPath);
    EXPECT_EQ(createWholeFile(*files, layer->at("sub"), "x"), Status::AccessDenied);
    EXPECT_EQ(layer->names(), (Names{"b", "sub"}));
}

TEST_P(WholeFiles, ReadHonoursTheByteLimit) {
    const std::string big(200 * 1024 + 7, 'z');  // several read chunks
    layer->put("ten", "0123456789");
    layer->put("big", big);
    layer->put("empty", "");
    ASSERT_EQ(files->createFolder(layer->at("adir")), Status::Ok);
    struct Case {
        const char* name;
        size_t limit;
        Status status;
        std::string bytes;
    } cases[] = {
        {"ten", 10, Status::Ok, "0123456789"}, {"ten", 1000, Status::Ok, "0123456789"},
        {"ten", 9, Status::NoMemory, ""},      {"ten", 0, Status::NoMemory, ""},
        {"big", big.size(), Status::Ok, big},  {"big", big.size() - 1, Status::NoMemory, ""},
        {"empty", 0, Status::Ok, ""},          {"missing", 10, Status::NotFound, ""},
        {"adir", 10, Status::BadPath, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " limit " + std::to_string(c.limit));
        std::string out = "left over";
        EXPECT_EQ(readWholeFile(*files, layer->at(c.name), c.limit, out), c.status);
        EXPECT_TRUE(out == c.bytes);
    }
}

TEST_P(WholeFiles, FoldersListRemoveAndKinds) {
    layer->put("b", "2");
    layer->put("a", "1");
    EXPECT_EQ(files->createFolder(layer->at("sub")), Status::Ok);
    EXPECT_EQ(files->createFolder(layer->at("sub")), Status::Ok);  // there already
    EXPECT_EQ(files->createFolder(layer->at("a")), Status::BadPath);
    layer->put("sub/inner", "i");
    std::vector<fs::path> listed;
    EXPECT_EQ(files->listFiles(layer->dir(), listed), Status::Ok);
    EXPECT_EQ(listed, (std::vector<fs::path>{"a", "b"}));  // files only, sorted
    EXPECT_EQ(files->listFiles(layer->at("sub"), listed), Status::Ok);
    EXPECT_EQ(listed, std::vector<fs::path>{"inner"});
    EXPECT_EQ(files->listFiles(layer->at("nowhere"), listed), Status::NotFound);
    EXPECT_TRUE(listed.empty());

    struct Kind {
        const char* name;
        PathKind kind;
    } kinds[] = {{"a", PathKind::File}, {"sub", PathKind::Folder}, {"nothing", PathKind::Missing}};
    for (const Kind& k : kinds) {
        PathInfo info;
        EXPECT_EQ(files->stat(layer->at(k.name), info), Status::Ok) << k.name;
        EXPECT_EQ(info.kind, k.kind) << k.name;
    }

    EXPECT_EQ(files->removeFile(layer->at("a")), Status::Ok);
    EXPECT_EQ(files->removeFile(layer->at("a")), Status::NotFound);
    EXPECT_EQ(files->removeFile(layer->at("sub")), Status::BadPath);
    EXPECT_EQ(layer->names(), (Names{"b", "sub"}));
}

// A file that grows between the read's size query and its reads (another program appending):
// read on to its end while within the limit, refused once past it, never cut.
TEST(WholeFileRead, AFileThatGrowsWhileReadIsReadOnOrRefused) {
    class Growing : public testsupport::ForwardingFileAccess {
      public:
        using ForwardingFileAccess::ForwardingFileAccess;
        store::Status open(const fs::path& path, bool writable,
                           std::unique_ptr<File>& out) override {
            // Its size reads as it was before the last 100 000 bytes came.
            struct Shrunk : testsupport::ForwardingFile {
                using ForwardingFile::ForwardingFile;
                IoResult size() override {
                    IoResult r = inner_->size();
                    r.bytes = std::max<int64_t>(0, r.bytes - 100000);
                    return r;
                }
            };
            std::unique_ptr<File> inner;
            Status s = inner_->open(path, writable, inner);
            if (s == Status::Ok) out = std::make_unique<Shrunk>(std::move(inner));
            return s;
        }
    };
    auto mem = std::make_shared<MemoryFileAccess>();
    const std::string bytes(150000, 'g');
    mem->put("/m/f", bytes);
    Growing files(mem);
    std::string out;
    EXPECT_EQ(readWholeFile(files, "/m/f", bytes.size(), out), Status::Ok);
    EXPECT_TRUE(out == bytes);
    EXPECT_EQ(readWholeFile(files, "/m/f", bytes.size() - 1, out), Status::NoMemory);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(readWholeFile(files, "/m/f", 60000, out), Status::NoMemory);
}

INSTANTIATE_TEST_SUITE_P(Layers, WholeFiles, ::testing::ValuesIn(kLayers),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- what only a real disk shows ----

// A FIFO would block an open for reading until a writer comes, and /dev/zero never ends: both,
// and links to them, are refused at once. The reads run in a child that an alarm ends, so a read
// that waits fails the test instead of hanging it.
TEST(WholeFilesOnDisk, SpecialFilesAreRefusedWithoutWaiting) {
    ScratchDir dir;
    const std::string fifo = dir.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, dir.path("to_fifo"));
    fs::create_symlink("/dev/zero", dir.path("to_zero"));
    const std::vector<std::string> paths = {fifo, "/dev/zero", dir.path("to_fifo"),
                                            dir.path("to_zero"), "/dev/null"};
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::alarm(10);
        int code = 0;
        for (size_t i = 0; i < paths.size(); ++i) {
            std::string out;
            std::unique_ptr<File> file;
            if (readWholeFile(*posixFileAccess(), paths[i], 1 << 20, out) != Status::BadPath ||
                !out.empty() || posixFileAccess()->open(paths[i], false, file) != Status::BadPath) {
                code = static_cast<int>(i) + 1;
            }
        }
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the read waited and the alarm ended it";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "refused as it should not be: "
        << (WEXITSTATUS(status) > 0 ? paths[WEXITSTATUS(status) - 1] : std::string());
    PathInfo info;
    EXPECT_EQ(posixFileAccess()->stat(fifo, info), Status::Ok);
    EXPECT_EQ(info.kind, PathKind::Other);
}

TEST(WholeFilesOnDisk, ReplaceFollowsLinksKeepsPermissionsAndSparesReadOnlyFiles) {
    ScratchDir dir;
    auto files = posixFileAccess();
    // A link to a file: the file it points to is replaced, the link stays a link.
    writeBytes(dir.path("real"), "old");
    fs::create_symlink("real", dir.path("link"));
    EXPECT_EQ(replaceWholeFile(*files, dir.path("link"), "new"), Status::Ok);
    EXPECT_TRUE(fs::is_symlink(dir.path("link")));
    EXPECT_EQ(readBytes(dir.path("real")), "new");
    // The replacement keeps the old file's permissions.
    fs::permissions(dir.path("real"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(replaceWholeFile(*files, dir.path("real"), "newer"), Status::Ok);
    EXPECT_EQ(fs::status(dir.path("real")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // A file without any write permission bit is left alone, also by root.
    fs::permissions(dir.path("real"), fs::perms::owner_read);
    EXPECT_EQ(replaceWholeFile(*files, dir.path("real"), "x"), Status::AccessDenied);
    EXPECT_EQ(readBytes(dir.path("real")), "newer");
    fs::permissions(dir.path("real"), fs::perms::owner_read | fs::perms::owner_write);
    // A link that leads nowhere is not replaced by a file.
    fs::create_symlink("gone", dir.path("dangling"));
    EXPECT_EQ(replaceWholeFile(*files, dir.path("dangling"), "x"), Status::BadPath);
    EXPECT_TRUE(fs::is_symlink(dir.path("dangling")));
    EXPECT_FALSE(fs::exists(dir.path("gone")));
    // A missing folder: nothing is created.
    EXPECT_EQ(replaceWholeFile(*files, dir.path("no/such"), "x"), Status::NotFound);
    EXPECT_EQ(createWholeFile(*files, dir.path("no/such"), "x"), Status::NotFound);
    EXPECT_FALSE(fs::exists(dir.path("no")));
    std::vector<fs::path> names;
    ASSERT_EQ(files->listFiles(fs::path(dir.path("real")).parent_path(), names), Status::Ok);
    EXPECT_EQ(names, (std::vector<fs::path>{"link", "real"}));  // the dangling link is no file
}

// A disk that refuses the write (a file size limit stands in for a full one): the old file stays
// whole, and no temporary file is left, for a replace and for a create alike.
TEST(WholeFilesOnDisk, ARefusedWriteLeavesTheOldFileAndNoTemporary) {
    ScratchDir dir;
    writeBytes(dir.path("f"), "old");
    const std::string big(4096, 'x');
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Status replaced = replaceWholeFile(*posixFileAccess(), dir.path("f"), big);
    Status created = createWholeFile(*posixFileAccess(), dir.path("g"), big);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(replaced, Status::DiskFull);
    EXPECT_EQ(created, Status::DiskFull);
    EXPECT_EQ(readBytes(dir.path("f")), "old");
    std::vector<fs::path> names;
    ASSERT_EQ(posixFileAccess()->listFiles(fs::path(dir.path("f")).parent_path(), names),
              Status::Ok);
    EXPECT_EQ(names, std::vector<fs::path>{"f"});
}

// ---- every cut point, through the fault layer ----

class WholeFileCuts : public ::testing::TestWithParam<LayerKind> {
  protected:
    void SetUp() override { layer = GetParam().make(); }

    // Runs `op` through a fault layer over the layer with `plan`; returns whether a fault fired.
    bool run(const FaultPlan& plan, const std::function<Status(FileAccess&)>& op,
             Status* result = nullptr) {
        FaultFileAccess faults(layer->files());
        faults.setPlan(plan);
        Status s = op(faults);
        if (result) *result = s;
        return faults.counts().faults > 0;
    }
    // Names in the folder besides `name`: what a cut may leave is a temporary file beside it.
    std::vector<std::string> strays(const std::string& name) const {
        std::vector<std::string> out;
        for (const std::string& n : layer->names()) {
            if (n != name) out.push_back(n);
        }
        return out;
    }

    std::unique_ptr<Layer> layer;
};

TEST_P(WholeFileCuts, AKilledReplaceLeavesTheOldFileOrTheNewOneWhole) {
    const std::string next = "the new contents, longer than the old";
    for (std::optional<std::string> old :
         {std::optional<std::string>("old"), std::optional<std::string>()}) {
        for (int64_t torn : {0, 5}) {
            SCOPED_TRACE(std::string(old ? "over a file" : "no file before") + ", torn " +
                         std::to_string(torn));
            int cuts = 0;
            for (int k = 0;; ++k) {
                SCOPED_TRACE("killed after " + std::to_string(k) + " mutations");
                layer->clear();
                if (old) layer->put("f", *old);
                FaultPlan kill;
                kill.stopMutationsAfter = k;
                kill.tornBytes = torn;
                Status s;
                bool cut = run(
                    kill, [&](FileAccess& f) { return replaceWholeFile(f, layer->at("f"), next); },
                    &s);
                EXPECT_EQ(s, Status::Ok);  // a killed process hears nothing of its kill
                std::optional<std::string> now = layer->get("f");
                EXPECT_TRUE(now == old || now == next) << (now ? *now : "(none)");
                EXPECT_LE(strays("f").size(), 1u);
                if (!cut) {
                    EXPECT_EQ(now, next);
                    EXPECT_TRUE(strays("f").empty());
                    break;
                }
                ++cuts;
            }
            // Create the temporary, write, flush it, rename, flush the folder.
            EXPECT_EQ(cuts, 5);
        }
    }
}

TEST_P(WholeFileCuts, AFailedStepOfAReplaceLeavesTheOldFileAndNoTemporary) {
    struct Step {
        const char* name;
        std::function<void(FaultPlan&)> fail;
        Status status;
        bool newInPlace;  // only the folder's flush comes after the rename
    } steps[] = {
        {"stat", [](FaultPlan& p) { p.failStatAt = 0; }, Status::HardwareFault, false},
        {"create", [](FaultPlan& p) { p.failCreateAt = 0; }, Status::DiskFull, false},
        {"write", [](FaultPlan& p) { p.failWriteAt = 0; }, Status::DiskFull, false},
        {"flush of the file", [](FaultPlan& p) { p.failSyncAt = 0; }, Status::HardwareFault, false},
        {"rename", [](FaultPlan& p) { p.failRenameAt = 0; }, Status::HardwareFault, false},
        {"flush of the folder", [](FaultPlan& p) { p.failSyncAt = 1; }, Status::HardwareFault,
         true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        layer->clear();
        layer->put("f", "old");
        FaultPlan plan;
        step.fail(plan);
        Status s;
        EXPECT_TRUE(run(
            plan, [&](FileAccess& f) { return replaceWholeFile(f, layer->at("f"), "new"); }, &s));
        EXPECT_EQ(s, step.status);
        EXPECT_EQ(layer->get("f"), step.newInPlace ? "new" : "old");
        EXPECT_TRUE(strays("f").empty());
    }
}

TEST_P(WholeFileCuts, ACreateLeavesTheWholeFileOrNoneAtEveryCut) {
    const std::string bytes(3000, 'b');
    for (int k = 0;; ++k) {
        SCOPED_TRACE("killed after " + std::to_string(k) + " mutations");
        layer->clear();
        FaultPlan kill;
        kill.stopMutationsAfter = k;
        kill.tornBytes = 100;
        bool cut =
            run(kill, [&](FileAccess& f) { return createWholeFile(f, layer->at("d"), bytes); });
        std::optional<std::string> now = layer->get("d");
        EXPECT_TRUE(!now || *now == bytes);
        EXPECT_LE(strays("d").size(), 1u);
        if (!cut) {
            EXPECT_EQ(now, bytes);
            EXPECT_TRUE(strays("d").empty());
            break;
        }
    }
    // A failed step leaves nothing at all, neither the file nor a temporary one.
    for (auto fail : {&FaultPlan::failCreateAt, &FaultPlan::failWriteAt, &FaultPlan::failSyncAt,
                      &FaultPlan::failRenameAt}) {
        layer->clear();
        FaultPlan plan;
        plan.*fail = 0;
        Status s;
        EXPECT_TRUE(run(
            plan, [&](FileAccess& f) { return createWholeFile(f, layer->at("d"), bytes); }, &s));
        EXPECT_NE(s, Status::Ok);
        EXPECT_TRUE(layer->names().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Layers, WholeFileCuts, ::testing::ValuesIn(kLayers),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
