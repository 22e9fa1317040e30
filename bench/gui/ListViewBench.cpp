// The list viewer with a big pool: the time from the round button's click to the first rows on
// the screen, and the memory the rows take.
//   morvex-bench-listview --lines N [--files F]
// Prints one line: lines, merged bytes, milliseconds, what the rows hold, the anonymous memory
// the process gained over the empty viewer's (targets: 1,000,000 lines within 1000 ms, memory
// under 2 times the text), and the change of resident and peak resident memory. The anonymous
// figure also counts what the allocator keeps of the merge's freed buffers (some hundred KB).
#include "app/Application.h"
#include "app/ListViewerLink.h"
#include "app/Main_U.h"
#include "gui/GuiStartup.h"
#include "windows/ListModel.h"
#include "windows/List_U.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {
using namespace Qt::StringLiterals;

struct Memory {
    double rss = 0;  ///< resident, bytes
    double anon = 0; ///< resident and not backed by a file (heap, stacks): what the rows cost
    double peak = 0; ///< peak resident
};

// From /proc/self/status. File-backed pages (the font files that the first drawn rows touch)
// count in `rss` but not in `anon`.
Memory memoryNow() {
    QFile status(u"/proc/self/status"_s);
    Memory memory;
    if (!status.open(QIODevice::ReadOnly))
        return memory;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const double value =
            line.mid(line.indexOf(':') + 1).trimmed().split(' ').first().toDouble() * 1024;
        if (line.startsWith("VmRSS:"))
            memory.rss = value;
        else if (line.startsWith("RssAnon:"))
            memory.anon = value;
        else if (line.startsWith("VmHWM:"))
            memory.peak = value;
    }
    return memory;
}

// Signatures of about 60 bytes with Windows line ends, spread over `files` list files.
qint64 writeLists(const QString& dir, long lines, int files) {
    const QByteArray kanji = "\x8f\x90\x96\xbc"; // "署名" in Shift-JIS
    qint64 total = 0;
    long written = 0;
    for (int f = 0; f < files; ++f) {
        QFile file(u"%1/list%2.mfl"_s.arg(dir).arg(f, 2, 10, QChar(u'0')));
        if (!file.open(QIODevice::WriteOnly))
            return -1;
        const long share = (lines - written) / (files - f);
        QByteArray chunk;
        for (long i = 0; i < share; ++i) {
            char text[64];
            std::snprintf(text, sizeof text, "-- %07ld ", written + i);
            chunk += text + kanji + " Taro Yamada <taro@example.jp> \\N ;;\r\n";
            if (chunk.size() > (1 << 20)) {
                file.write(chunk);
                chunk.clear();
            }
        }
        file.write(chunk);
        written += share;
        total += file.size();
    }
    return total;
}

// Reports the first paint of the list's rows after the click.
class FirstPaint : public QObject {
public:
    FirstPaint(QListView* list, QElapsedTimer& clock)
        : m_list(list)
        , m_clock(clock) {
        list->viewport()->installEventFilter(this);
    }

    bool armed = false;
    qint64 elapsedMs = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (armed && event->type() == QEvent::Paint && m_list->model()->rowCount() > 0) {
            armed = false;
            watched->removeEventFilter(this);
            QCoreApplication::sendEvent(watched, event); // the paint itself, then the time
            elapsedMs = m_clock.elapsed();
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            return true;
        }
        return false;
    }

private:
    QListView* m_list;
    QElapsedTimer& m_clock;
};

} // namespace

int main(int argc, char** argv) {
    long lines = 10000;
    int files = 4;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--lines") == 0)
            lines = std::atol(argv[i + 1]);
        else if (std::strcmp(argv[i], "--files") == 0)
            files = std::atoi(argv[i + 1]);
    }
    QTemporaryDir work;
    if (!work.isValid() || lines < 1 || files < 1)
        return 2;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.filePath(u"config"_s)));
    qputenv("TMP", QFile::encodeName(work.path()));
    const qint64 listBytes = writeLists(work.path(), lines, files);
    if (listBytes < 0)
        return 2;

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (!morvex::prepareGui(nullptr))
        return 2;
    morvex::MorvexApplication application;
    morvex::TMorvexF window(application);
    morvex::TListF viewer;
    morvex::attachListViewer(window, viewer);
    window.findChild<QLineEdit*>(u"FFile"_s)->setText(work.filePath(u"*.mfl"_s));
    window.show();

    // The empty window's own memory: the viewer shown once with no rows, then hidden.
    viewer.show();
    QApplication::processEvents();
    viewer.close();
    QApplication::processEvents();
    const Memory empty = memoryNow();

    QElapsedTimer clock;
    FirstPaint paint(viewer.ListBox, clock);
    paint.armed = true;
    QTimer::singleShot(0, &window, [&] {
        clock.start();
        window.FutterBtnClick();
    });
    QTimer::singleShot(60000, qApp, [] { QCoreApplication::exit(1); });
    QApplication::exec();
    const Memory shown = memoryNow();
    const double text = double(viewer.listModel()->text().size());
    if (viewer.listModel()->rowCount() != lines || paint.elapsedMs < 0) {
        std::fprintf(stderr, "the viewer showed %d rows of %ld\n", viewer.listModel()->rowCount(),
                     lines);
        return 1;
    }
    // What the rows themselves hold: the text and one offset per line.
    const double held = double(viewer.listModel()->heldBytes());
    std::printf(
        "%9ld lines %7.1f MB merged   first rows %6lld ms   rows hold %7.1f MB (%.2f x text)"
        "   anonymous memory %+7.1f MB (%.2f x text)   resident %+7.1f MB, peak %+7.1f MB\n",
        lines, text / 1e6, static_cast<long long>(paint.elapsedMs), held / 1e6, held / text,
        (shown.anon - empty.anon) / 1e6, (shown.anon - empty.anon) / text,
        (shown.rss - empty.rss) / 1e6, (shown.peak - empty.peak) / 1e6);
    (void)listBytes;
    return 0;
}
