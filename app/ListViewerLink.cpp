#include "app/ListViewerLink.h"

#include "app/Main_U.h"
#include "windows/List_U.h"

namespace morvex {

void attachListViewer(TMorvexF& window, TListF& viewer) {
    viewer.setMainWindowFields({window.FFile, window.HFile, window.HeaderBtn, window.FutterBtn});
    window.setListViewer(ListViewerSlot{
        [&viewer] { viewer.LoadHeadListBtnClick(); },
        [&viewer] { viewer.LoadListBtnClick(); },
        [&viewer] {
            if (viewer.isMinimized())
                viewer.setWindowState(viewer.windowState() & ~Qt::WindowMinimized);
            viewer.show();
            viewer.raise();
            viewer.activateWindow();
        },
    });
}

} // namespace morvex
