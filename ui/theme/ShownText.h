#pragma once

#include <QString>
#include <string>

namespace tamrel {

// Names and paths as the screens show them. A file name may hold any byte but "/" and NUL:
// control characters and the invisible bidirectional controls (which could reorder what
// follows them) are shown escaped as \u{XXXX}, never interpreted; bytes that are not valid
// UTF-8 are shown repaired as U+FFFD. What is shown is never used to reach a file: every file
// action uses the exact path bytes.
QString shownText(const QString& text);
QString shownPath(const std::string& bytes);

}  // namespace tamrel
