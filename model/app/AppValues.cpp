#include "model/app/AppValues.h"

namespace tamrel {

QString rawValue(Tab tab) {
    switch (tab) {
        case Tab::explore:
            return QStringLiteral("Explore");
        case Tab::system:
            return QStringLiteral("System Data");
        case Tab::biggest:
            return QStringLiteral("Biggest");
        case Tab::tidy:
            return QStringLiteral("Clean up");
        case Tab::apps:
            return QStringLiteral("Apps");
    }
    return {};
}

std::optional<Tab> tabFromRaw(const QString& title) {
    for (Tab tab : allTabs()) {
        if (rawValue(tab) == title) return tab;
    }
    return std::nullopt;
}

QString rawValue(AppSort sort) {
    switch (sort) {
        case AppSort::size:
            return QStringLiteral("Size");
        case AppSort::name:
            return QStringLiteral("Name");
        case AppSort::lastUsed:
            return QStringLiteral("Last used");
    }
    return {};
}

std::optional<AppSort> appSortFromRaw(const QString& title) {
    for (AppSort sort : allAppSorts()) {
        if (rawValue(sort) == title) return sort;
    }
    return std::nullopt;
}

}  // namespace tamrel
