#include "document/recovery.h"
#include "document/vantrydoc.h"
#include "model/model_test_support.h"
#include "model/snapshot.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/faultyfiles.h"
#include "support/fedpipe.h"
#include "support/scriptedprompter.h"
#include "support/testdir.h"

#include <QDateTime>
#include <QLockFile>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantry {

namespace {

using model_test::exactDump;

// A network that only an exact form gives back: floats no decimal text keeps, an automatic
// length, a description and a picture path with bytes outside ASCII.
void fillAwkward(Network& net) {
    Node* a = model_test::addNodeAt(net, 0.1f, -1.0e-7f);
    Node* b = model_test::addNodeAt(net, std::nextafter(1.0f, 2.0f), 3.3333333f);
    Link* l = model_test::addLinkBetween(net, a, b);
    l->setDescription("Main St \xe9\xe8 \"quoted\"");
    Link* back = model_test::addLinkBetween(net, b, a);
    back->setLength(2.71828f);
    net.setBitmap("..\\pictures\\plan \xfc.bmp", WorldRect{4.5f, -1.25f, -2.0f, 6.0f});
}

// A sound record of a saved text network.
RecoveryRecord soundRecord(const std::string& originalPath) {
    Network net;
    fillAwkward(net);
    RecoveryRecord record;
    record.originalPath = originalPath;
    record.title = "net.txt";
    record.format = NetworkFormat::Text;
    record.snapshot = encodeSnapshot(net);
    return record;
}

// A store on a disk where no lock can be taken while `failLocks` holds.
class LocklessStore : public RecoveryStore {
public:
    using RecoveryStore::RecoveryStore;
    bool failLocks = true;

protected:
    bool takeLock(QLockFile& lock) override { return !failLocks && RecoveryStore::takeLock(lock); }
};

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::int64_t todayAt(int hour, int minute) {
    return QDateTime(QDate::currentDate(), QTime(hour, minute)).toSecsSinceEpoch();
}

class Recovery : public ::testing::Test {
protected:
    Recovery() { settings->persistOnExit = false; }

    void modify(CVantryDoc& d, float x) {
        d.edit("Edit", [x](Network& net) {
            createNodeAt(net, {x, 0.5f});
            return true;
        });
    }
    std::string folder() const { return dir.file("recovery"); }

    SingletonPtr<UserDefinedSettings> settings;
    TestDir dir;
    ScriptedPrompter prompter;
};

// ---- The file ---------------------------------------------------------------------------------

TEST_F(Recovery, AFileGivesBackTheNetworkBitForBitWithItsNameFormatAndTime) {
    RecoveryRecord record = soundRecord("/home/\xc3\xa9le/net.xls");
    record.title = "net.xls";
    record.format = NetworkFormat::Workbook;
    record.savedAt = todayAt(14, 2);

    const std::string bytes = encodeRecoveryFile(record);
    EXPECT_LT(bytes.size(), record.snapshot.size() + 200) << "kept compressed";
    RecoveryRecord back;
    std::string why;
    ASSERT_TRUE(decodeRecoveryFile(bytes, back, why)) << why;
    EXPECT_EQ(back.originalPath, record.originalPath);
    EXPECT_EQ(back.title, "net.xls");
    EXPECT_EQ(back.format, NetworkFormat::Workbook);
    EXPECT_EQ(back.savedAt, record.savedAt);
    EXPECT_EQ(back.snapshot, record.snapshot);

    EXPECT_EQ(recoveryListing(back), "net.xls, changed at 14:02 (" + record.originalPath + ")");
    back.savedAt -= 3 * 86400;
    back.originalPath.clear();
    EXPECT_EQ(recoveryListing(back), "net.xls, changed at 14:02 on " +
                                         QDateTime::fromSecsSinceEpoch(back.savedAt)
                                             .toString(QStringLiteral("yyyy-MM-dd"))
                                             .toStdString() +
                                         " (never saved)");
}

TEST_F(Recovery, ADamagedFileIsRefusedWithTheReason) {
    const RecoveryRecord record = soundRecord("/data/net.txt");
    const std::string good = encodeRecoveryFile(record);

    std::string flipped = good;
    flipped[flipped.size() - 10] ^= 0x40;
    std::string badFormat = good;
    badFormat[18 + 4 + record.originalPath.size() + 4 + record.title.size()] = 7;
    // A frame of a few bytes that claims a network of 8 GiB, refused before room is taken for it.
    const std::string eightGiB("\0\0\0\0\2\0\0\0", 8);
    const std::string huge = good.substr(0, 18 + 4 + 13 + 4 + 7 + 1 + 8) + eightGiB +
                             "\x28\xB5\x2F\xFD\xE0" + eightGiB + std::string("\3\0\x10x", 4);
    const std::pair<std::string, std::string> cases[] = {
        {"", "not a recovery file"},
        {"KX101\n0 0\nEndNodes\n", "not a recovery file"},
        {good.substr(0, 30), "cut short"},
        {good.substr(0, good.size() - 5), "damaged"},
        {flipped, "damaged"},
        {badFormat, "file format"},
        {huge, "its size is wrong"},
    };
    for (const auto& [bytes, reason] : cases) {
        RecoveryRecord back;
        back.title = "untouched";
        std::string why;
        EXPECT_FALSE(decodeRecoveryFile(bytes, back, why)) << reason;
        EXPECT_NE(why.find(reason), std::string::npos) << why;
        EXPECT_EQ(back.title, "untouched");
    }
}

// ---- The store --------------------------------------------------------------------------------

TEST_F(Recovery, OnlyAModifiedDocumentHasAFileAndASaveOrCloseRemovesIt) {
    CVantryDoc doc(&prompter);
    ASSERT_TRUE(doc.DoSave(dir.file("net.txt")));
    const std::string saved = slurp(dir.file("net.txt"));
    RecoveryStore store(folder());
    std::string why;
    ASSERT_TRUE(store.open(why)) << why;

    ASSERT_TRUE(store.update(doc, why));
    EXPECT_EQ(store.fileOf(doc), "") << "nothing to recover";
    modify(doc, 0.25f);
    ASSERT_TRUE(store.update(doc, why)) << why;
    const std::string file = store.fileOf(doc);
    ASSERT_NE(file, "");
    EXPECT_EQ(std::filesystem::path(file).parent_path(), std::filesystem::path(folder()));
    EXPECT_EQ(slurp(dir.file("net.txt")), saved) << "the user's own file is left alone";
    RecoveryRecord record;
    ASSERT_TRUE(decodeRecoveryFile(slurp(file), record, why)) << why;
    EXPECT_EQ(record.originalPath, dir.file("net.txt"));
    EXPECT_EQ(record.title, "net.txt");
    EXPECT_EQ(record.format, NetworkFormat::Text);
    EXPECT_LE(std::abs(record.savedAt - QDateTime::currentSecsSinceEpoch()), 5);
    EXPECT_EQ(record.snapshot, encodeSnapshot(doc.network()));

    // A later change goes into the same file.
    modify(doc, 0.75f);
    ASSERT_TRUE(store.update(doc, why));
    EXPECT_EQ(store.fileOf(doc), file);
    ASSERT_TRUE(decodeRecoveryFile(slurp(file), record, why));
    EXPECT_EQ(record.snapshot, encodeSnapshot(doc.network()));

    ASSERT_TRUE(doc.OnFileSave());
    ASSERT_TRUE(store.update(doc, why));
    EXPECT_FALSE(std::filesystem::exists(file)) << "saved";

    modify(doc, 1.0f);
    ASSERT_TRUE(store.update(doc, why));
    ASSERT_NE(store.fileOf(doc), "");
    const std::string second = store.fileOf(doc);
    store.forget(doc);
    EXPECT_FALSE(std::filesystem::exists(second)) << "closed";
}

TEST_F(Recovery, ARunThatIsAliveKeepsItsFilesAndOneThatEndedLeavesThemToTheNext) {
    std::string why;
    RecoveryStore alive(folder());
    ASSERT_TRUE(alive.open(why)) << why;
    CVantryDoc doc(&prompter);
    doc.SetTitle("Network1");
    modify(doc, 0.5f);
    ASSERT_TRUE(alive.update(doc, why)) << why;

    // A run that ends without closing anything: a process that exits without any clean-up.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RecoveryStore ended(folder());
        CVantryDoc lost;
        lost.SetPathName(dir.file("lost.txt"));
        lost.edit("Edit", [](Network& net) {
            fillAwkward(net);
            return true;
        });
        std::string childWhy;
        _exit(ended.open(childWhy) && ended.update(lost, childWhy) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(namesIn(folder()).size(), 4u) << "two runs, a lock and a file each";

    RecoveryStore next(folder());
    ASSERT_TRUE(next.open(why));
    std::vector<std::string> problems;
    const std::vector<OrphanedRecovery> orphans = next.collectOrphans(problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(orphans.size(), 1u) << "the living run's file is not offered";
    EXPECT_EQ(orphans[0].record.originalPath, dir.file("lost.txt"));
    Network expected, got;
    fillAwkward(expected);
    ASSERT_TRUE(decodeSnapshot(orphans[0].record.snapshot, got));
    EXPECT_EQ(exactDump(got), exactDump(expected));

    // A third run starting meanwhile finds the ended run taken over.
    RecoveryStore third(folder());
    ASSERT_TRUE(third.open(why));
    EXPECT_TRUE(third.collectOrphans(problems).empty());

    ASSERT_TRUE(next.discard(orphans[0], why)) << why;
    EXPECT_FALSE(std::filesystem::exists(orphans[0].file));
    const auto left = namesIn(folder());
    EXPECT_EQ(std::count_if(left.begin(), left.end(),
                            [](const std::string& n) { return n.ends_with(".vrec"); }),
              1)
        << "only the living run's file";
    EXPECT_EQ(left.size(), 4u) << "the ended run's lock went with its last file";
    EXPECT_NE(alive.fileOf(doc), "");
}

// Stores opened one right after the other (within one millisecond, as tests and a restarted
// controller do) are runs of their own, each with its lock.
TEST_F(Recovery, StoresOpenedInTheSameMillisecondAreRunsOfTheirOwn) {
    std::vector<std::unique_ptr<RecoveryStore>> stores;
    for (int i = 0; i < 50; ++i) {
        stores.push_back(std::make_unique<RecoveryStore>(folder()));
        std::string why;
        ASSERT_TRUE(stores.back()->open(why)) << "store " << i << ": " << why;
    }
}

// What cannot be read among the files is named with the reason, without waiting on a pipe: a
// damaged file, a pipe and a folder are kept aside and told once; the files of a run whose lock is
// a pipe are left where they are.
TEST_F(Recovery, FilesThatCannotBeReadAreReportedWithoutWaitingOnThem) {
    std::filesystem::create_directories(folder());
    const std::string damaged = folder() + "/4242.1-1.vrec";
    spit(damaged, "Vantry recovery 1\n\x05");
    // The pipe would give a sound recovery file to a reader that opened it.
    const RecoveryRecord record = soundRecord(dir.file("net.txt"));
    const std::string pipePath = folder() + "/4243.1-1.vrec";
    const FedPipe pipe(pipePath, encodeRecoveryFile(record));
    ASSERT_TRUE(pipe.ready());
    const std::string folderPath = folder() + "/4244.1-1.vrec";
    std::filesystem::create_directory(folderPath);
    // A sound file whose run's lock is a pipe: taking the lock would read the pipe.
    const std::string kept = folder() + "/4245.1-1.vrec";
    spit(kept, encodeRecoveryFile(record));
    const FedPipe lock(folder() + "/4245.1.lock", "4245\n");
    ASSERT_TRUE(lock.ready());
    const auto keptAside = [](const std::string& file, const std::string& why) {
        return "The recovery file " + file + " cannot be read: " + why + ". It is kept as " + file +
               ".damaged.";
    };
    const std::string lockProblem = "The recovery files beside " + folder() +
                                    "/4245.1.lock are left where they are: that lock cannot be "
                                    "used, because it is a pipe, not a file.";
    std::string why;
    std::vector<std::string> problems;
    {
        RecoveryStore store(folder());
        ASSERT_TRUE(store.open(why));
        EXPECT_TRUE(store.collectOrphans(problems).empty());
    }
    EXPECT_EQ(problems, (std::vector<std::string>{
                            keptAside(damaged, "it is cut short"),
                            keptAside(pipePath, "it is a pipe, not a file"),
                            keptAside(folderPath, "it is a folder, not a file"), lockProblem}));
    EXPECT_EQ(slurp(damaged + ".damaged"), std::string("Vantry recovery 1\n\x05"));
    EXPECT_EQ(slurp(kept), encodeRecoveryFile(record));
    EXPECT_TRUE(std::filesystem::is_fifo(folder() + "/4245.1.lock"));

    // A later run, once that one has ended, is not told of them again.
    problems.clear();
    RecoveryStore later(folder());
    ASSERT_TRUE(later.open(why)) << why;
    EXPECT_TRUE(later.collectOrphans(problems).empty());
    EXPECT_EQ(problems, std::vector<std::string>{lockProblem});
}

// ---- Faults of the disk -----------------------------------------------------------------------

// A folder that cannot be made, or cannot hold a lock, is named with the reason, and nothing is
// kept in it.
TEST_F(Recovery, AFolderThatCannotBeMadeOrLockedKeepsNothingAndTouchesNoOtherRunsFiles) {
    spit(dir.file("plain"), "a file where the folder would go");
    RecoveryStore unmade(dir.file("plain") + "/recovery");
    std::string why;
    EXPECT_FALSE(unmade.open(why));
    EXPECT_EQ(why.rfind("the folder " + dir.file("plain") + "/recovery cannot be made: ", 0), 0u);
    LocklessStore store(folder());
    EXPECT_FALSE(store.open(why));
    EXPECT_EQ(why, "the folder " + folder() + " cannot hold a lock: its lock file cannot be made");
    CVantryDoc doc(&prompter);
    modify(doc, 0.5f);
    for (RecoveryStore* closed : {&unmade, static_cast<RecoveryStore*>(&store)}) {
        EXPECT_FALSE(closed->update(doc, why));
        EXPECT_EQ(why, "the recovery folder " + closed->folder() + " is not in use");
    }

    // An ended run whose lock cannot be taken over may still be running somewhere: its file is
    // neither offered nor moved.
    const std::string ended = folder() + "/4242.1-1.vrec";
    spit(ended, encodeRecoveryFile(soundRecord(dir.file("net.txt"))));
    store.failLocks = false;
    ASSERT_TRUE(store.open(why)) << why;
    store.failLocks = true;
    std::vector<std::string> problems;
    EXPECT_TRUE(store.collectOrphans(problems).empty());
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(slurp(ended), encodeRecoveryFile(soundRecord(dir.file("net.txt"))));
}

// A write that fails at any step names the recovery file and keeps the last one whole, with no
// temporary file beside it; the next update, on a disk that works again, writes it.
TEST_F(Recovery, AWriteThatFailsKeepsTheLastFileWholeAndIsTriedAgain) {
    RecoveryStore store(folder());
    std::string why;
    ASSERT_TRUE(store.open(why)) << why;
    CVantryDoc doc(&prompter);
    modify(doc, 0.25f);
    ASSERT_TRUE(store.update(doc, why)) << why;
    const std::string file = store.fileOf(doc);
    const std::string last = slurp(file);
    const std::vector<std::string> names = namesIn(folder());
    modify(doc, 0.75f);
    const std::pair<FileCalls (*)(), std::string> faults[] = {
        {[] { return faulty::writeFailsAfter(20); },
         "it could not be written completely: no space left on device"},
        {[] { return faulty::flushFails(); },
         "it could not be written to the disk: input/output error"},
        {[] { return faulty::renameFails(); }, "it cannot be replaced: input/output error"},
    };
    for (const auto& [calls, reason] : faults) {
        const ScopedFileCalls failing(calls());
        EXPECT_FALSE(store.update(doc, why));
        EXPECT_EQ(why, "the recovery file " + file + " cannot be written: " + reason);
        EXPECT_EQ(slurp(file), last);
        EXPECT_EQ(namesIn(folder()), names);
    }
    ASSERT_TRUE(store.update(doc, why)) << why;
    RecoveryRecord record;
    ASSERT_TRUE(decodeRecoveryFile(slurp(file), record, why)) << why;
    EXPECT_EQ(record.snapshot, encodeSnapshot(doc.network()));

    // A pipe put in the file's place is refused without being opened, and left as it is.
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    modify(doc, 1.0f);
    EXPECT_FALSE(store.update(doc, why));
    EXPECT_EQ(why, "the recovery file " + file + " cannot be written: it is not an ordinary file");
    EXPECT_TRUE(std::filesystem::is_fifo(file));
}

// A sound file that the disk fails to give back is reported with the reason; when it cannot even
// be moved aside it stays where it is, and a later run, on a disk that works again, offers it.
TEST_F(Recovery, AFileTheDiskFailsToReadIsReportedAndNotLost) {
    std::filesystem::create_directories(folder());
    const std::string file = folder() + "/4242.1-1.vrec";
    const std::string bytes = encodeRecoveryFile(soundRecord(dir.file("net.txt")));
    spit(file, bytes);
    std::string why;
    std::vector<std::string> problems;
    {
        RecoveryStore store(folder());
        ASSERT_TRUE(store.open(why)) << why;
        FileCalls calls = faulty::readFailsAfter(40);
        calls.rename = faulty::renameFails().rename;
        const ScopedFileCalls failing(calls);
        EXPECT_TRUE(store.collectOrphans(problems).empty());
    }
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], "The recovery file " + file +
                               " cannot be read: it could not be read completely: input/output "
                               "error. It is left where it is.");
    EXPECT_EQ(slurp(file), bytes);

    RecoveryStore later(folder());
    ASSERT_TRUE(later.open(why)) << why;
    problems.clear();
    const std::vector<OrphanedRecovery> orphans = later.collectOrphans(problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(orphans.size(), 1u);
    {
        const ScopedFileCalls failing(faulty::removeFails());
        EXPECT_FALSE(later.discard(orphans[0], why));
    }
    EXPECT_EQ(why, "The recovery file " + file + " cannot be deleted: Input/output error.");
    EXPECT_EQ(slurp(file), bytes);
}

// ---- The recovered document -------------------------------------------------------------------

TEST_F(Recovery, ARecoveredDocumentIsModifiedUnderItsNameThroughAnyUndo) {
    Network net;
    fillAwkward(net);
    net.setBitmap("", WorldRect{});
    CVantryDoc doc(&prompter);
    ASSERT_TRUE(doc.OnRecoverDocument(encodeSnapshot(net), dir.file("net.txt"), "net.txt"));
    EXPECT_EQ(exactDump(doc.network()), exactDump(net));
    EXPECT_EQ(doc.GetPathName(), dir.file("net.txt"));
    EXPECT_EQ(doc.GetTitle(), "net.txt");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(doc.canUndo());
    modify(doc, 0.5f);
    doc.OnEditUndo();
    EXPECT_TRUE(doc.IsModified()) << "the recovered network is not the file's";

    CVantryDoc fresh(&prompter);
    ASSERT_TRUE(fresh.OnRecoverDocument(encodeSnapshot(net), "", "Network3"));
    EXPECT_EQ(fresh.GetPathName(), "");
    EXPECT_EQ(fresh.GetTitle(), "Network3");

    CVantryDoc broken(&prompter);
    EXPECT_FALSE(broken.OnRecoverDocument("not a snapshot", "", "Network4"));
    EXPECT_NE(broken.lastError().find("Network4"), std::string::npos) << broken.lastError();
    EXPECT_TRUE(broken.network().nodes().empty());
}

} // namespace

} // namespace vantry
