#pragma once

#include <QString>

#include <optional>
#include <string>

namespace tamrel {

// The services of the user's desktop session that the model asks for: a folder picker, the file
// manager, the default application of a file and the clipboard. The window provides the real
// one (it needs a running GUI); tests hand the model a fake that records the calls.
//
// Every call is made on the main thread. A call that the desktop refuses or cannot serve
// answers false (or nothing) so the caller can tell the user.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Runs a modal picker for one folder (folders only) with `prompt` on its accept button and
    // `message` above the list; the chosen folder's absolute path, or nothing when cancelled.
    virtual std::optional<std::string> chooseFolder(const QString& prompt,
                                                    const QString& message) = 0;

    // Shows the file manager with the item at `path` selected. False when no file manager
    // took the request.
    virtual bool reveal(const std::string& path) = 0;

    // Opens the item at `path` with its default application. False when none took it.
    virtual bool open(const std::string& path) = 0;

    // Replaces the clipboard's content with `text`. False when there is no clipboard.
    virtual bool copyText(const QString& text) = 0;
};

}  // namespace tamrel
