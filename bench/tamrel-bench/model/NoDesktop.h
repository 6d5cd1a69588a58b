#pragma once

#include <optional>
#include <string>

#include "model/system/Desktop.h"

namespace tamrel::bench {

// The desktop of a model measured alone: no folder picker, file manager or clipboard.
class NoDesktop : public Desktop {
public:
    std::optional<std::string> chooseFolder(const QString&, const QString&) override { return {}; }
    bool reveal(const std::string&) override { return false; }
    bool open(const std::string&) override { return false; }
    bool copyText(const QString&) override { return false; }
};

}  // namespace tamrel::bench
