// The watch pass of /o and /w, one tick per call: stamps, records and when a file is converted.
#include "Watch.h"

#include "engine/Engine.h"

#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

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
        ASSERT_TRUE(m_dir.isValid());
        write("f.mfl", "-- sig\r\n");
        write("h.mhl", "Re: \\H\r\n");
        m_settings.footerListPattern = path("f.mfl");
        m_settings.headerListPattern = path("h.mhl");
        m_settings.skipConverted = false;
        m_engine.setShowError(
            [this](const std::string& text, const std::string&) { m_errors.push_back(text); });
    }

    std::string path(const std::string& name) const {
        return m_dir.filePath(QString::fromStdString(name)).toStdString();
    }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
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

    QTemporaryDir m_dir;
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

} // namespace
} // namespace morvex::test
