// The watch pass of /o and /w, one tick per call: stamps, records and when a file is converted.
#include "modes/Watch.h"

#include "engine/Engine.h"
#include "tests/support/TempDir.h"

#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

// Sets TZ for one test and puts the previous zone back.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};

timespec at(int year, int month, int day, int hour, int minute, int second, long nanos = 0) {
    tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return {std::mktime(&local), nanos};
}

TEST(FileStamp, PacksTheLocalTimeAtTwoSecondsInTwelveDigits) {
    const TimeZone zone("JST-9");
    const struct {
        timespec time;
        const char* stamp;
    } rows[] = {
        {at(1999, 4, 16, 22, 56, 53), "190416225626"},
        {at(1999, 4, 16, 22, 56, 52, 999999999), "190416225626"}, // same two-second step
        {at(1980, 1, 1, 0, 0, 0), "000101000000"},
        {at(2026, 12, 8, 9, 5, 1), "461208090500"},
        {at(2079, 12, 31, 23, 59, 59), "991231235929"},
        {at(2080, 1, 1, 0, 0, 0), "1000101000000"}, // 13 digits from 2080
        {at(2107, 12, 31, 23, 59, 58), "1271231235929"},
        {{0, 0}, "000101000000"},                    // 1970: the packed form's start
        {at(2200, 6, 1, 12, 0, 0), "1271231235929"}, // beyond 2107: its end
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stamp);
        EXPECT_EQ(FileStamp(row.time), row.stamp);
    }
    // Local time: the same moment one zone west is an hour earlier.
    const timespec moment = at(1999, 4, 16, 22, 56, 53);
    const TimeZone west("CST-8");
    EXPECT_EQ(FileStamp(moment), "190416215626");
}

class WatchTick : public ::testing::Test {
protected:
    void SetUp() override {
        write("f.mfl", "-- sig\r\n");
        write("h.mhl", "Re: \\H\r\n");
        m_settings.footerListPattern = path("f.mfl");
        m_settings.headerListPattern = path("h.mhl");
        m_settings.skipConverted = false;
        m_engine.setShowError(
            [this](const std::string& text, const std::string&) { m_errors.push_back(text); });
    }

    std::string path(const std::string& name) const { return m_dir.file(name); }
    void write(const std::string& name, const std::string& bytes) const {
        m_dir.write(name, bytes);
    }
    std::string read(const std::string& name) const { return m_dir.read(name); }
    void setTime(const std::string& name, timespec modified) const {
        const timespec times[2] = {modified, modified};
        ASSERT_EQ(::utimensat(AT_FDCWD, path(name).c_str(), times, 0), 0);
    }
    timespec timeOf(const std::string& name) const {
        struct stat st {};
        ::stat(path(name).c_str(), &st);
        return st.st_mtim;
    }

    WatchPass::Hooks hooks() {
        return {
            .buildPools =
                [this] {
                    ++m_poolBuilds;
                    m_engine.MakeFooterPool(m_settings.footerListPattern);
                    m_engine.MakeHeaderPool(m_settings.headerListPattern);
                },
            .convertOne =
                [this](const std::string& file, bool quiet) {
                    m_converted.push_back(file);
                    m_quiet.push_back(quiet);
                    if (m_failNext > 0) {
                        --m_failNext;
                        return WatchPass::Outcome::Failed;
                    }
                    return convert(file);
                },
            .statFile = {},
            .beginLook = {},
            .betweenFiles = {},
            .writers = {},
        };
    }

    WatchPass::Outcome convert(const std::string& file) {
        return m_engine.ConvertOne(file, m_settings) ? WatchPass::Outcome::Converted
                                                     : WatchPass::Outcome::Failed;
    }

    // A marked file, as the user saves it, and what the conversion makes of it.
    static constexpr const char* kMarked = "]Hi\r\n)\r\n";
    static constexpr const char* kConverted = "Re: Hi\r\n-- sig\r\n";

    TempDir m_dir;
    ConvEngine m_engine;
    ConvSettings m_settings;
    std::vector<std::string> m_converted;
    std::vector<bool> m_quiet;
    std::vector<std::string> m_errors;
    std::set<std::string> m_unreadable;
    int m_poolBuilds = 0;
    int m_failNext = 0;
};

TEST_F(WatchTick, TheFirstTickTakesTheBaselineAndConvertsNothing) {
    write("a.up", kMarked);
    write("b.up", kMarked);
    WatchPass watch(hooks());
    const std::vector<std::string> sources = {path("*.up")};

    EXPECT_FALSE(watch.ObserveStarted());
    EXPECT_TRUE(watch.tick(sources));
    EXPECT_TRUE(watch.ObserveStarted());
    EXPECT_EQ(m_poolBuilds, 1);
    EXPECT_TRUE(m_converted.empty());
    ASSERT_EQ(watch.records().size(), 2u);
    EXPECT_EQ(watch.records().OldSrcFileName[0], path("a.up"));
    EXPECT_EQ(watch.records().OldSrcFileTime[0], FileStamp(timeOf("a.up")));

    // Unchanged files stay alone however often it ticks; the pools are never built again.
    for (int i = 0; i < 5; ++i)
        watch.tick(sources);
    EXPECT_TRUE(m_converted.empty());
    EXPECT_EQ(m_poolBuilds, 1);
    EXPECT_EQ(read("a.up"), kMarked);
}

TEST_F(WatchTick, ANewOrChangedFileIsConvertedOncePerChange) {
    write("a.up", "plain\r\n");
    WatchPass watch(hooks());
    const std::vector<std::string> sources = {path("*.up")};
    watch.tick(sources);

    write("new.up", kMarked); // created after the baseline
    watch.tick(sources);
    EXPECT_EQ(m_converted, std::vector<std::string>{path("new.up")});
    EXPECT_EQ(read("new.up"), kConverted);
    // Recorded with the stamp read after the rewrite, so the rewrite is no change.
    const std::optional<std::size_t> record = watch.records().find(path("new.up"));
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(watch.records().OldSrcFileTime[*record], FileStamp(timeOf("new.up")));
    for (int i = 0; i < 5; ++i)
        watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 1u);

    // An edit in a later two-second step: converted again, once.
    write("new.up", kMarked);
    timespec later = timeOf("new.up");
    later.tv_sec += 10;
    setTime("new.up", later);
    for (int i = 0; i < 5; ++i)
        watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 2u);
    EXPECT_EQ(read("new.up"), kConverted);
    EXPECT_EQ(read("new.bak"), kMarked);
}

TEST_F(WatchTick, AnEditInTheSameStepAsTheRewriteIsStillSeen) {
    write("a.up", kMarked);
    setTime("a.up", at(2026, 3, 1, 10, 0, 0, 100));
    WatchPass watch(hooks());
    const std::vector<std::string> sources = {path("a.up")};
    watch.tick(sources);
    const std::size_t record = *watch.records().find(path("a.up"));

    // Saved again in the same two-second step: the stamps are equal, the file is not.
    write("a.up", kMarked);
    setTime("a.up", at(2026, 3, 1, 10, 0, 1, 500));
    ASSERT_EQ(FileStamp(timeOf("a.up")), watch.records().OldSrcFileTime[record]);
    watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 1u);
    EXPECT_EQ(read("a.up"), kConverted);

    // Same stamp and size, another file put in place (a save by rename).
    const timespec kept = timeOf("a.up");
    write("other", kConverted);
    setTime("other", kept);
    ASSERT_EQ(::rename(path("other").c_str(), path("a.up").c_str()), 0);
    watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 2u);
}

TEST_F(WatchTick, AnOlderStampIsLeftAloneAndALocalTimeShiftIsNoChange) {
    write("a.up", kMarked);
    WatchPass watch(hooks());
    const std::vector<std::string> sources = {path("a.up")};
    watch.tick(sources);

    // A restored older copy.
    write("a.up", kMarked);
    setTime("a.up", at(2001, 1, 1, 0, 0, 0));
    watch.tick(sources);
    EXPECT_TRUE(m_converted.empty());

    // The clock of the zone moves an hour forward: every stamp is later, no file changed.
    const TimeZone zone("UTC-14");
    watch.tick(sources);
    EXPECT_TRUE(m_converted.empty());
    EXPECT_EQ(read("a.up"), kMarked);
}

TEST_F(WatchTick, ADeletedFileKeepsItsRecordAndIsConvertedWhenItComesBackNewer) {
    write("a.up", kMarked);
    const timespec first = at(2026, 3, 1, 10, 0, 0);
    setTime("a.up", first);
    WatchPass watch(hooks());
    const std::vector<std::string> sources = {path("*.up")};
    watch.tick(sources);

    ASSERT_EQ(::unlink(path("a.up").c_str()), 0);
    watch.tick(sources);
    EXPECT_EQ(watch.records().size(), 1u);

    // Back, older than recorded: left alone; then newer: converted, into the same record.
    write("a.up", kMarked);
    setTime("a.up", at(2026, 2, 1, 10, 0, 0));
    watch.tick(sources);
    EXPECT_TRUE(m_converted.empty());
    write("a.up", kMarked);
    setTime("a.up", at(2026, 3, 1, 10, 5, 0));
    watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 1u);
    EXPECT_EQ(read("a.up"), kConverted);
    EXPECT_EQ(watch.records().size(), 1u);
}

TEST_F(WatchTick, TwoEntriesNamingOneFileConvertItOncePerChange) {
    write("a.up", kMarked);
    WatchPass watch(hooks());
    const std::vector<std::string> sources = {path("a.up"), path("*.up"), path("a.up")};
    watch.tick(sources);
    EXPECT_EQ(watch.records().size(), 3u); // the baseline records each naming
    timespec later = timeOf("a.up");
    for (int change = 1; change <= 3; ++change) {
        write("a.up", kMarked);
        later.tv_sec += 10;
        setTime("a.up", later);
        for (int i = 0; i < 3; ++i)
            watch.tick(sources);
        EXPECT_EQ(m_converted.size(), static_cast<std::size_t>(change));
    }
    EXPECT_EQ(watch.records().size(), 3u);
}

TEST_F(WatchTick, NamesThatDifferByCaseAreTwoFiles) {
    write("memo.up", kMarked);
    write("MEMO.up", kMarked);
    WatchPass watch(hooks());
    const std::vector<std::string> sources = {path("*.up")};
    watch.tick(sources);
    ASSERT_EQ(watch.records().size(), 2u);

    timespec later = timeOf("memo.up");
    later.tv_sec += 10;
    setTime("memo.up", later);
    watch.tick(sources);
    EXPECT_EQ(m_converted, std::vector<std::string>{path("memo.up")});
    EXPECT_EQ(read("MEMO.up"), kMarked);

    write("Memo.up", kMarked); // a third name is a new file
    watch.tick(sources);
    EXPECT_EQ(m_converted.back(), path("Memo.up"));
    EXPECT_EQ(watch.records().size(), 3u);
}

TEST_F(WatchTick, AFileWhoseTimeCannotBeReadIsSkippedForThatTick) {
    write("a.up", kMarked);
    m_unreadable.insert(path("a.up"));
    WatchPass::Hooks failing = hooks();
    failing.statFile = [this](const char* file, struct stat* st) {
        return m_unreadable.contains(file) ? -1 : ::stat(file, st);
    };
    WatchPass watch(failing);
    const std::vector<std::string> sources = {path("*.up")};
    watch.tick(sources);
    EXPECT_EQ(watch.records().size(), 0u);
    watch.tick(sources);
    EXPECT_TRUE(m_converted.empty());
    EXPECT_EQ(watch.records().size(), 0u);

    // Readable again: a new file, of which the kernel said nothing, so it must look the same
    // at two more looks first.
    m_unreadable.clear();
    watch.tick(sources);
    watch.tick(sources);
    EXPECT_TRUE(m_converted.empty());
    watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 1u);
    EXPECT_EQ(watch.records().size(), 1u);
}

TEST_F(WatchTick, AFailedConversionIsRetriedAndItsErrorShownOncePerVersion) {
    write("a.up", "plain\r\n");
    WatchPass watch(hooks());
    const std::vector<std::string> sources = {path("*.up")};
    watch.tick(sources);
    timespec later = timeOf("a.up");
    later.tv_sec += 10;
    setTime("a.up", later);
    const timespec recorded = watch.records().Identity[0].modified;

    m_failNext = 3;
    watch.tick(sources); // fails, may tell
    watch.tick(sources); // fails again, same file: quiet
    EXPECT_EQ(watch.records().Identity[0].modified.tv_sec, recorded.tv_sec); // not updated
    later.tv_sec += 10;
    setTime("a.up", later);
    watch.tick(sources); // the file changed: may tell again
    watch.tick(sources); // converts
    watch.tick(sources); // nothing to do
    EXPECT_EQ(m_quiet, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(watch.records().Identity[0].modified.tv_nsec, timeOf("a.up").tv_nsec);
    EXPECT_EQ(watch.records().OldSrcFileTime[0], FileStamp(timeOf("a.up")));

    later = timeOf("a.up");
    later.tv_sec += 10;
    setTime("a.up", later);
    m_failNext = 1;
    watch.tick(sources); // a failure after a success tells again
    EXPECT_EQ(m_quiet.back(), false);
    EXPECT_EQ(m_converted.size(), 5u);
}

TEST_F(WatchTick, ASaveMadeWhileAConversionRunsIsSeenInTheSameTick) {
    write("a.up", kMarked);
    write("b.up", kMarked);
    WatchPass::Hooks slow = hooks();
    slow.convertOne = [&](const std::string& file, bool) {
        m_converted.push_back(file);
        if (file == path("a.up")) {
            // While a result dialog is open, the user saves b.up (after the search ran).
            timespec later = timeOf("b.up");
            later.tv_sec += 10;
            setTime("b.up", later);
        }
        return convert(file);
    };
    WatchPass watch(slow);
    const std::vector<std::string> sources = {path("*.up")};
    watch.tick(sources);
    timespec later = timeOf("a.up");
    later.tv_sec += 10;
    setTime("a.up", later);
    watch.tick(sources);
    EXPECT_EQ(m_converted, (std::vector<std::string>{path("a.up"), path("b.up")}));
}

TEST_F(WatchTick, ATickDuringARunningTickIsSkipped) {
    write("a.up", kMarked);
    write("b.up", kMarked);
    WatchPass* watching = nullptr;
    WatchPass::Hooks nested = hooks();
    int nestedRan = 0;
    nested.convertOne = [&](const std::string& file, bool) {
        m_converted.push_back(file);
        // A result dialog's event loop lets the timer tick again.
        nestedRan += watching->tick({path("*.up")}) ? 1 : 0;
        return convert(file);
    };
    WatchPass watch(nested);
    watching = &watch;
    const std::vector<std::string> sources = {path("*.up")};
    watch.tick(sources);
    for (const char* name : {"a.up", "b.up"}) {
        timespec later = timeOf(name);
        later.tv_sec += 10;
        setTime(name, later);
    }
    EXPECT_TRUE(watch.tick(sources));
    EXPECT_EQ(nestedRan, 0);
    EXPECT_EQ(m_converted, (std::vector<std::string>{path("a.up"), path("b.up")}));
    EXPECT_TRUE(watch.tick(sources)); // the guard is down again afterwards
}

// A file held open for writing, as a slow copy or a logging program holds it.
class OpenWriter {
public:
    OpenWriter(const std::string& path, int flags)
        : m_fd(::open(path.c_str(), flags | O_CLOEXEC, 0644)) {}
    ~OpenWriter() { close(); }
    bool write(const std::string& bytes) const {
        return ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

TEST_F(WatchTick, AFileStillBeingWrittenIsConvertedOnlyWholeOnceItsWriterCloses) {
    for (const bool notify : {true, false}) {
        SCOPED_TRACE(notify ? "with notification" : "without notification");
        m_converted.clear();
        write("a.up", "old\r\n");
        WatchPass watch(hooks(), notify);
        const std::vector<std::string> sources = {path("*.up")};
        watch.tick(sources);

        OpenWriter writer(path("a.up"), O_WRONLY | O_TRUNC);
        ASSERT_GE(writer.fd(), 0);
        for (const std::string piece : {"]Hi\r\n", ")\r\n"}) {
            ASSERT_TRUE(writer.write(piece));
            for (int look = 0; look < 4; ++look) // pauses of any length
                watch.tick(sources);
            watch.lookAtFinished(sources);
        }
        EXPECT_TRUE(m_converted.empty());
        EXPECT_EQ(read("a.up"), kMarked);

        writer.close();
        if (notify) {
            // The close is word enough: converted without waiting for a look.
            EXPECT_TRUE(watch.lookAtFinished(sources));
        } else {
            watch.tick(sources); // seen changed
            watch.tick(sources); // the same once
            EXPECT_TRUE(m_converted.empty());
            watch.tick(sources); // the same twice
        }
        EXPECT_EQ(m_converted, std::vector<std::string>{path("a.up")});
        EXPECT_EQ(read("a.up"), kConverted);
        EXPECT_EQ(read("a.bak"), kMarked);
    }
}

TEST_F(WatchTick, WithoutNotificationAChangedFileMustLookTheSameAtTwoLooksInARow) {
    write("a.up", "old\r\n");
    WatchPass::Hooks unknownWriters = hooks();
    unknownWriters.writers = [](const std::string&) {
        return Writers::Unknown; // a network file system
    };
    WatchPass watch(unknownWriters, false);
    const std::vector<std::string> sources = {path("*.up")};
    watch.tick(sources);

    // A writer that closes between pieces, each pause shorter than two looks.
    timespec time = timeOf("a.up");
    for (const char* text : {"]Hi\r\n", "]Hi\r\n)", kMarked}) {
        write("a.up", text);
        time.tv_sec += 1;
        setTime("a.up", time);
        watch.tick(sources);
        watch.tick(sources);
    }
    EXPECT_TRUE(m_converted.empty());
    watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 1u);
    EXPECT_EQ(read("a.up"), kConverted);
    for (int look = 0; look < 3; ++look)
        watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 1u);
}

TEST_F(WatchTick, AWriterTheKernelReportsStillOpenIsWaitedForWhateverTheEventsSay) {
    write("a.up", "old\r\n");
    Writers writers = Writers::None;
    WatchPass::Hooks asked = hooks();
    asked.writers = [&](const std::string&) {
        return writers;
    };
    WatchPass watch(asked);
    const std::vector<std::string> sources = {path("*.up")};
    watch.tick(sources);
    write("a.up", kMarked); // closed: the events say finished

    writers = Writers::Some; // but another writer has it open
    watch.tick(sources);
    watch.lookAtFinished(sources);
    EXPECT_TRUE(m_converted.empty());
    writers = Writers::None;
    watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 1u);

    // Written and never closed as far as the events go (truncated by name, say): when the
    // kernel says nobody has it open for writing, it is finished.
    OpenWriter writer(path("a.up"), O_WRONLY | O_APPEND);
    ASSERT_TRUE(writer.write("]Re\r\n"));
    watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 2u);
}

TEST_F(WatchTick, ALookEndsBetweenTwoFilesWhenAskedAndTheNextGoesOn) {
    const std::vector<std::string> names = {"a.up", "b.up", "c.up", "d.up"};
    for (const std::string& name : names)
        write(name, "old\r\n");
    int filesBegun = 0;
    int stopAfter = 2;
    WatchPass::Hooks stopping = hooks();
    stopping.betweenFiles = [&] {
        return filesBegun++ < stopAfter;
    };
    int looks = 0;
    stopping.beginLook = [&] {
        ++looks;
    };
    WatchPass watch(stopping);
    const std::vector<std::string> sources = {path("*.up")};
    watch.tick(sources);
    EXPECT_EQ(looks, 0) << "the baseline converts nothing";
    for (const std::string& name : names)
        write(name, kMarked);

    watch.tick(sources);
    EXPECT_EQ(looks, 1);
    EXPECT_EQ(m_converted, (std::vector<std::string>{path("a.up"), path("b.up")}));
    for (const char* name : {"c.up", "d.up"})
        EXPECT_EQ(read(name), kMarked) << name;

    filesBegun = 0;
    stopAfter = 100;
    watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 4u);
    for (const std::string& name : names)
        EXPECT_EQ(read(name), kConverted) << name;
}

TEST_F(WatchTick, AFileLeftAloneWithoutAnErrorIsRecordedAndNotTriedAgain) {
    write("a.up", "old\r\n");
    WatchPass::Hooks leaving = hooks();
    leaving.convertOne = [this](const std::string& file, bool) {
        m_converted.push_back(file);
        return WatchPass::Outcome::LeftAlone;
    };
    WatchPass watch(leaving);
    const std::vector<std::string> sources = {path("*.up")};
    watch.tick(sources);
    write("a.up", kMarked);
    for (int look = 0; look < 3; ++look)
        watch.tick(sources);
    EXPECT_EQ(m_converted.size(), 1u);
    EXPECT_EQ(watch.records().Identity[0].modified.tv_nsec, timeOf("a.up").tv_nsec);
}

TEST(SaveNotices, TellWhoIsWritingWhatWasFinishedAndForgetWhatWasSeen) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString() + "/";
    SaveNotices notices;
    ASSERT_GE(notices.fd(), 0);
    const int folder = notices.watch(root);
    ASSERT_GE(folder, 0);
    EXPECT_EQ(notices.watch(root + "./"), folder) << "one folder, one key";
    EXPECT_EQ(notices.folderOf(root), folder);
    EXPECT_EQ(notices.watch(root + "missing/"), -1);
    using Activity = SaveNotices::Activity;

    OpenWriter writer(root + "a.up", O_WRONLY | O_CREAT);
    ASSERT_TRUE(writer.write("piece"));
    notices.read();
    EXPECT_EQ(notices.activity(folder, "a.up"), Activity::Writing);
    EXPECT_FALSE(notices.hasFinished());
    notices.settle(folder, "a.up", notices.mark());
    EXPECT_EQ(notices.activity(folder, "a.up"), Activity::Writing) << "a write stays heard";
    writer.close();
    EXPECT_TRUE(notices.read());
    EXPECT_EQ(notices.activity(folder, "a.up"), Activity::Finished);

    std::ofstream(root + ".b.tmp") << "x";
    ASSERT_EQ(::rename((root + ".b.tmp").c_str(), (root + "b.up").c_str()), 0);
    const timespec times[2] = {{1000, 0}, {1000, 0}};
    std::ofstream(root + "c.up") << "x";
    notices.read();
    notices.takeFinished();
    ASSERT_EQ(::utimensat(AT_FDCWD, (root + "c.up").c_str(), times, 0), 0);
    ASSERT_EQ(::unlink((root + "a.up").c_str()), 0);
    notices.read();
    const auto finished = notices.takeFinished();
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished.begin()->second, (std::set<std::string>{"c.up"}));
    EXPECT_FALSE(notices.hasFinished());
    EXPECT_EQ(notices.activity(folder, "a.up"), Activity::Unknown) << "removed";
    EXPECT_EQ(notices.activity(folder, "b.up"), Activity::Finished) << "renamed into place";

    const std::uint64_t mark = notices.mark();
    notices.settle(folder, "b.up", mark);
    EXPECT_EQ(notices.activity(folder, "b.up"), Activity::Unknown);
    std::ofstream(root + "c.up") << "later";
    notices.read();
    notices.settle(folder, "c.up", mark); // heard after the mark: not used up
    EXPECT_EQ(notices.activity(folder, "c.up"), Activity::Finished);
    notices.forgetBefore(notices.mark());
    EXPECT_EQ(notices.activity(folder, "c.up"), Activity::Unknown);

    SaveNotices none(false);
    EXPECT_EQ(none.fd(), -1);
    EXPECT_EQ(none.watch(root), -1);
    EXPECT_FALSE(none.read());
}

TEST(SaveNotices, TheKernelTellsWhetherAFileIsOpenForWriting) {
    QTemporaryDir dir;
    const std::string file = dir.filePath(u"a.up"_s).toStdString();
    std::ofstream(file) << "text";
    const struct {
        int flags;
        Writers expected;
    } rows[] = {
        {-1, Writers::None},
        {O_RDONLY, Writers::None},
        {O_WRONLY, Writers::Some},
        {O_RDWR, Writers::Some},
        {O_WRONLY | O_APPEND, Writers::Some},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.flags);
        OpenWriter holder(row.flags < 0 ? std::string("/nonexistent/x") : file,
                          row.flags < 0 ? O_RDONLY : row.flags);
        EXPECT_EQ(writersOf(file), row.expected);
    }
    EXPECT_EQ(writersOf(file + ".missing"), Writers::Unknown);
}

} // namespace
} // namespace morvex::test
