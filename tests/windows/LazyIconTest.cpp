// Pictures made when first drawn: not before, once for all copies, and the same as made at once.
#include "gui/LazyIcon.h"

#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

namespace morvex {
namespace {
using namespace Qt::StringLiterals;

TEST(LazyIcon, IsMadeOnceWhenFirstDrawnAndDrawsAsTheMadeOne) {
    const QIcon made(u":/windows/pictures/icon.bmp"_s);
    ASSERT_FALSE(made.isNull());
    int making = 0;
    const QIcon lazy = lazyIcon([&making, &made] {
        ++making;
        return made;
    });
    const QIcon copy = lazy;
    EXPECT_FALSE(lazy.isNull());
    EXPECT_EQ(making, 0) << "asking whether it is empty must not make it";
    for (const int side : {16, 32}) {
        EXPECT_EQ(copy.pixmap(side).toImage(), made.pixmap(side).toImage()) << side;
        EXPECT_EQ(lazy.actualSize(QSize(side, side)), made.actualSize(QSize(side, side)));
    }
    EXPECT_EQ(lazy.availableSizes(), made.availableSizes());
    EXPECT_EQ(making, 1);
}

} // namespace
} // namespace morvex
