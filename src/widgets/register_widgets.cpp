#include "widgets/register_widgets.h"

#include "toolkit/sapp.h"
#include "widgets/coord_button_image.h"
#include "widgets/extended_widgets.h"
#include "widgets/shell_notify_icon.h"
#include "widgets/tab_ctrl2.h"

namespace kb::ui {

int RegisterProgramWidgets(SApplication& app) {
    int added = 0;
    added += app.RegisterWidget<SShellNotifyIcon>() ? 1 : 0;
    added += app.RegisterWidget<CoordButtonImage>() ? 1 : 0;
    added += app.RegisterWidget<STabPage2>() ? 1 : 0;
    added += app.RegisterWidget<STabCtrl2>() ? 1 : 0;
    added += app.RegisterWidget<SAnimImg>() ? 1 : 0;
    added += app.RegisterWidget<SEditEx>() ? 1 : 0;
    added += app.RegisterWidget<SRadioBoxEx>() ? 1 : 0;
    added += app.RegisterWidget<SCheckBoxEx>() ? 1 : 0;
    return added;
}

}  // namespace kb::ui
