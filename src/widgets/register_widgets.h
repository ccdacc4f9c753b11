#pragma once

namespace kb::ui {

class SApplication;

// Registers the program's eight widget classes in this order: shellnotifyicon, cbimg, page2,
// tabctrl2, anmimg, editex, radioex, checkex. An existing registration of a tag stays.
// Returns how many were newly registered.
int RegisterProgramWidgets(SApplication& app);

}  // namespace kb::ui
