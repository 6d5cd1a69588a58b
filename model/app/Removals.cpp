#include "model/app/Removals.h"

namespace tamrel {

void Removals::set(Kind kind, bool running) {
    Batch batch(context_.announcer);
    switch (kind) {
        case Kind::clean:
            preparingClean.set(batch, running);
            break;
        case Kind::trash:
            trashing.set(batch, running);
            break;
        case Kind::uninstall:
            uninstalling.set(batch, running);
            break;
    }
    removalBusy.set(batch, preparingClean() || trashing() || uninstalling());
}

bool Removals::refused() {
    if (!removalBusy()) return false;
    toasts_.show(Toast::make(QStringLiteral("Another removal is under way"),
                             QStringLiteral("Try again once it has finished"), false));
    return true;
}

}  // namespace tamrel
