// Pictures on a scaled display (run at scale 1 and, as windows.scaled_display, at scale 2): as
// many pixels as the screen shows, never a small picture enlarged.
#include "gui/Dialogs.h"
#include "tests/support/Widgets.h"
#include "windows/About_U.h"

#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <gtest/gtest.h>

namespace morvex::test {
namespace {
using namespace Qt::StringLiterals;

TEST(ScaledDisplay, TheLogoAndTheBoxSignsAreDrawnAtTheScreensResolution) {
    TAboutF about;
    const qreal ratio = about.devicePixelRatioF();
    const QPixmap logo = about.LogoImg->pixmap();
    EXPECT_EQ(logo.devicePixelRatio(), ratio > 1.0 ? 2.0 : 1.0);
    EXPECT_EQ(logo.deviceIndependentSize().toSize(), QSize(145, 25));

    for (const QString& caption : {u"エラー"_s, u"警告"_s}) {
        SCOPED_TRACE(caption.toStdString());
        QPixmap sign;
        ModalWatcher watcher([&sign](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                sign = box->iconPixmap();
                box->accept();
            }
        });
        showStopBox(nullptr, caption, u"フッタリストが開けませんでした"_s);
        ASSERT_FALSE(sign.isNull());
        EXPECT_EQ(sign.devicePixelRatio(), ratio);
        EXPECT_GE(sign.width(), qRound(32 * ratio));
    }
}

} // namespace
} // namespace morvex::test
