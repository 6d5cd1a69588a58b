#include "model/removal/TrashToast.h"

#include "format/Fmt.h"

namespace tamrel {

QString trashToastTitle(std::uint64_t bytes, RuleSet rules) {
    if (rules == RuleSet::linuxDesktop)
        return QStringLiteral("Moved ") + Fmt::bytes(bytes) + QStringLiteral(" to the Trash");
    return QStringLiteral("Freed ") + Fmt::bytes(bytes);
}

}  // namespace tamrel
