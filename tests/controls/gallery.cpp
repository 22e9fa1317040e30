// Renders every control in each of its states to PNG files, one file per state plus a four
// times enlarged copy, so that the drawing can be looked at. Usage: morvex-controls-gallery DIR
#include "controls/DisRangeTrackBar.h"
#include "controls/ExLabel.h"
#include "controls/FolderDialog.h"
#include "controls/MaruBtn.h"
#include "gui/GuiStartup.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <functional>

using namespace morvex;

using namespace Qt::StringLiterals;

namespace {

QString g_dir;
int g_failures = 0;

int g_ratio = 1;

QImage renderWidget(QWidget* widget) {
    QImage image(widget->size() * g_ratio, QImage::Format_ARGB32);
    image.setDevicePixelRatio(g_ratio);
    image.fill(widget->palette().color(QPalette::Window));
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

void save(QWidget* widget, const QString& name) {
    const QImage image = renderWidget(widget);
    const QString path = g_dir + u'/' + name + u".png"_s;
    const QImage zoomed =
        image.scaled(image.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!image.save(path) || !zoomed.save(g_dir + u'/' + name + u"@4x.png"_s)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos) {
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

/// A face-coloured form with the designed font, as the windows have.
std::unique_ptr<QWidget> makeForm(QSize size) {
    auto form = std::make_unique<QWidget>();
    QFont font(u"ＭＳ Ｐゴシック"_s);
    font.setPixelSize(12);
    form->setFont(font);
    form->resize(size);
    return form;
}

void roundButtons(const QString& prefix, QSize size, const QString& caption,
                  const std::function<void(TMaruBtn&)>& setup = {}) {
    auto form = makeForm(size);
    auto* button = new TMaruBtn(form.get());
    button->setGeometry(QRect(QPoint(), size));
    button->setCaption(caption);
    button->setGroupIndex(1);
    button->setAllowAllUp(true);
    if (setup)
        setup(*button);
    const QPoint centre(size.width() / 2, size.height() / 2);
    save(form.get(), prefix + u"-up"_s);
    sendMouse(button, QEvent::MouseButtonPress, centre);
    save(form.get(), prefix + u"-pressed"_s);
    sendMouse(button, QEvent::MouseButtonRelease, centre);
    button->setDown(true);
    save(form.get(), prefix + u"-latched"_s);
    button->setEnabled(false);
    save(form.get(), prefix + u"-disabled"_s);
}

void labels() {
    struct Case {
        const char* name;
        std::function<void(TExLabel&)> setup;
    };
    const Case cases[] = {
        {"flat",
         [](TExLabel&) {
         }},
        {"raised",
         [](TExLabel& l) {
             l.setFont3D(true);
             l.setStyle3D(bsRaised);
             l.setBackFont(clWhite);
         }},
        {"lowered",
         [](TExLabel& l) {
             l.setFont3D(true);
             l.setBackFont(clWhite);
         }},
        {"grey-relief",
         [](TExLabel& l) {
             l.setFont3D(true);
             l.setBackFont(clWhite);
             l.setFontColor(clGray);
         }},
        {"disabled",
         [](TExLabel& l) {
             l.setEnabled(false);
         }},
        {"lowered-on-yellow",
         [](TExLabel& l) {
             l.setColor(clYellow);
             l.setFont3D(true);
             l.setBackFont(clWhite);
         }},
        {"raised-depth2-on-yellow",
         [](TExLabel& l) {
             l.setColor(clYellow);
             l.setFont3D(true);
             l.setStyle3D(bsRaised);
             l.setFontDepth(2);
             l.setBackFont(clWhite);
         }},
        {"rectangle",
         [](TExLabel& l) {
             l.setColor(clYellow);
             l.setDrawOutLine(true);
         }},
        {"circle",
         [](TExLabel& l) {
             l.setColor(clYellow);
             l.setLabelType(lbCircle);
         }},
        {"circle-outline",
         [](TExLabel& l) {
             l.setColor(clYellow);
             l.setLabelType(lbCircle);
             l.setDrawOutLine(true);
         }},
        {"roundrect",
         [](TExLabel& l) {
             l.setColor(clYellow);
             l.setLabelType(lbRoundRect);
             l.setDrawOutLine(true);
         }},
        {"transparent",
         [](TExLabel& l) {
             l.setColor(clYellow);
             l.setTransparent(true);
         }},
    };
    for (const Case& c : cases) {
        auto form = makeForm(QSize(120, 30));
        auto* label = new TExLabel(form.get());
        label->setAutoSize(false);
        label->setGeometry(4, 2, 112, 26);
        label->setAlignment(Qt::AlignHCenter);
        label->setCaption(u"設定&Abc 10秒"_s);
        c.setup(*label);
        save(form.get(), u"label-"_s + QString::fromLatin1(c.name));
    }
}

/// The result-display group of the settings dialog, enabled and with the disabled look.
void settingsGroup(bool enabled) {
    auto form = makeForm(QSize(270, 80));
    const auto label = [&](const char* name, int left, int top, const QString& text) {
        auto* l = new TExLabel(text, form.get());
        l->setObjectName(QString::fromLatin1(name));
        l->move(left, top);
        l->setFontColor(enabled ? clBlack : clGray);
        l->setFont3D(!enabled);
        l->setBackFont(clWhite);
        return l;
    };
    label("Label1", 216, 34, u"("_s);
    TExLabel* time = label("Time", 220, 34, u"5"_s);
    time->setAutoSize(false);
    time->setAlignment(Qt::AlignRight);
    time->setGeometry(220, 34, 13, 12);
    label("Label2", 236, 34, u"秒)"_s);
    label("MinLbl", 48, 52, u"0秒"_s);
    label("MaxLbl", 224, 52, u"10秒"_s);
    auto* bar = new TDisRangeTrackBar(form.get());
    bar->setGeometry(72, 52, 157, 17);
    bar->setPosition(5);
    bar->setEnabled(enabled);
    const QString name = enabled ? u"settings-group"_s : u"settings-group-disabled"_s;
    save(form.get(), g_ratio == 1 ? name : name + u"-ratio2"_s);
}

void trackBars() {
    const auto render = [](const QString& name, const std::function<void(TTrackBar&)>& setup,
                           bool plain = false) {
        auto form = makeForm(QSize(165, 50));
        TTrackBar* bar = plain ? new TTrackBar(form.get()) : new TDisRangeTrackBar(form.get());
        bar->move(4, 2);
        setup(*bar);
        save(form.get(), name);
    };
    render(u"trackbar-plain-ticks"_s, [](TTrackBar& b) { b.setPosition(5); });
    render(u"trackbar-range"_s, [](TTrackBar& b) {
        b.setSelStart(2);
        b.setSelEnd(6);
        b.setPosition(5);
        static_cast<TDisRangeTrackBar&>(b).setEnableSelRange(true);
    });
    render(u"trackbar-range-hidden"_s, [](TTrackBar& b) {
        b.setSelStart(2);
        b.setSelEnd(6);
        b.setPosition(5);
        auto& bar = static_cast<TDisRangeTrackBar&>(b);
        bar.setEnableSelRange(true);
        bar.setEnableSelRange(false);
    });
    render(
        u"trackbar-base"_s,
        [](TTrackBar& b) {
            b.setSelStart(3);
            b.setSelEnd(8);
            b.setPosition(4);
        },
        true);
    render(u"trackbar-disabled"_s, [](TTrackBar& b) {
        b.setPosition(7);
        b.setEnabled(false);
    });
    render(u"trackbar-17px"_s, [](TTrackBar& b) {
        b.resize(157, 17);
        b.setPosition(5);
    });
}

/// The folder chooser over a small tree, with a folder preselected.
void folderBrowser() {
    QTemporaryDir folders;
    for (const QString& folder : {u"lists/header"_s, u"lists/footer"_s, u"upload"_s})
        QDir(folders.path()).mkpath(folder);
    auto form = makeForm(QSize(100, 100));
    TFolderDialog dialog(form.get());
    dialog.setCaption(u"ヘッダーリストのあるフォルダを選んでください"_s);
    dialog.setRootDir(folders.path());
    dialog.setStartDir(folders.path() + u"/lists/footer/"_s);
    // The model lists folders in the background: wait (at most a few seconds) for the
    // preselected folder's siblings before taking the picture.
    QTimer poll;
    int ticks = 0;
    QObject::connect(&poll, &QTimer::timeout, qApp, [&poll, &ticks] {
        QWidget* chooser = QApplication::activeModalWidget();
        auto* tree = chooser ? chooser->findChild<QTreeView*>(u"FolderTree"_s) : nullptr;
        if (!tree)
            return;
        const QModelIndex lists = tree->currentIndex().parent();
        if (tree->model()->rowCount(lists) < 2 && ++ticks < 300)
            return;
        poll.stop();
        save(chooser, u"folder-browser"_s);
        chooser->close();
    });
    poll.start(10);
    dialog.Execute();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString error;
    if (!morvex::prepareGui(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    g_dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(g_dir);

    roundButtons(u"maru17"_s, QSize(17, 17), QString());
    roundButtons(u"maru50"_s, QSize(50, 50), u"&A"_s);
    roundButtons(u"maru50-raised"_s, QSize(50, 50), u"&B"_s, [](TMaruBtn& b) {
        b.setFont3D(true);
        b.setBackFont(clWhite);
    });
    roundButtons(u"maru50-lowered"_s, QSize(50, 50), u"&C"_s, [](TMaruBtn& b) {
        b.setFont3D(true);
        b.setStyle3D(bsLowered);
        b.setBackFont(clWhite);
        b.setColor(clYellow);
    });
    labels();
    // The same drawing at twice the pixel density, as with high-DPI scaling.
    g_ratio = 2;
    roundButtons(u"maru17-ratio2"_s, QSize(17, 17), QString());
    settingsGroup(false);
    g_ratio = 1;
    settingsGroup(true);
    settingsGroup(false);
    trackBars();
    folderBrowser();
    std::printf("gallery written to %s\n", qPrintable(g_dir));
    return g_failures == 0 ? 0 : 1;
}
