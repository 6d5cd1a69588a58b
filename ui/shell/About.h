#pragma once

#include <QString>

namespace tamrel {

// What the program was built from: the project's version and, for a build made in a git
// checkout, the commit (12 hex digits; empty for a build from a source archive). The program
// gets it from its build (main.cpp); an empty version is not known.
struct BuildInfo {
    QString version;
    QString commit;
};

// The About box's text, plain (not rich text): what Tamrel does, "Version <version>" with
// ", commit <commit>" where there is one (no line without a version), and the folder the saved
// indexes are kept in, `indexFolder` (appDataDirectory()); empty when there is no home folder,
// which the text then says keeps nothing.
QString aboutText(const BuildInfo& build, const QString& indexFolder);

}  // namespace tamrel
