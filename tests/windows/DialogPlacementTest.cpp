// Every dialog as a window manager or compositor sees it: fixed in size with no minimise or
// maximise button asked for, and belonging to the window it was opened from.
#include "tests/support/StoreFiles.h"
#include "windows/About_U.h"
#include "windows/Editor_U.h"
#include "windows/ProgresU.h"
#include "windows/Select_U.h"
#include "windows/Set_U.h"
#include "windows/SrcEditU.h"

#include <QMainWindow>
#include <QTest>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {
using namespace Qt::StringLiterals;
using namespace morvex;

using DialogMaker = std::function<std::unique_ptr<QDialog>(QWidget*)>;

template <typename T> DialogMaker maker() {
    return [](QWidget* parent) {
        return std::make_unique<T>(parent);
    };
}

const std::pair<const char*, DialogMaker> kDialogs[] = {
    {"TSettingF", maker<TSettingF>()},   {"TAboutF", maker<TAboutF>()},
    {"TProgressF", maker<TProgressF>()}, {"TSrcEditF", maker<TSrcEditF>()},
    {"TEditorF", maker<TEditorF>()},     {"TSelectListF", maker<TSelectListF>()},
};

class DialogPlacement : public morvex::test::StoreTest {};

TEST_F(DialogPlacement, FixedDialogsAskForNoMinimiseOrMaximiseButton) {
    for (const auto& [name, make] : kDialogs) {
        SCOPED_TRACE(name);
        const std::unique_ptr<QDialog> dialog = make(nullptr);
        EXPECT_EQ(dialog->windowType(), Qt::Dialog);
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
        EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_TRUE(dialog->windowFlags() & Qt::CustomizeWindowHint)
            << "without it the window manager adds its default buttons";
    }
}

TEST_F(DialogPlacement, EveryShownDialogBelongsToTheWindowItWasOpenedFrom) {
    QMainWindow main;
    main.resize(200, 100);
    main.show();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    for (const auto& [name, make] : kDialogs) {
        SCOPED_TRACE(name);
        for (QWidget* parent : {static_cast<QWidget*>(&main), static_cast<QWidget*>(nullptr)}) {
            const std::unique_ptr<QDialog> dialog = make(parent);
            dialog->show();
            ASSERT_NE(dialog->windowHandle(), nullptr);
            EXPECT_EQ(dialog->windowHandle()->transientParent(), main.windowHandle())
                << (parent ? "with its window as parent" : "opened without a parent");
            dialog->hide();
        }
    }
}

} // namespace
