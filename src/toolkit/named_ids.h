#pragma once

#include <QString>
#include <vector>

namespace kb::ui {

struct NamedId {
    QString name;
    int id = 0;
};

// The program's named control ids in id order: "_name_start" 65535, then title 65536 up to
// udef_area6_color8 65661 (127 entries). SApplication::RegisterNamedIds sorts them by name.
const std::vector<NamedId>& ProgramNamedIds();

}  // namespace kb::ui
