#pragma once

#include <string>

#include "model/apps/AppRegistry.h"
#include "model/system/Platform.h"

namespace tamrel {

// The real services: the application registry of this user, programs started without a shell,
// and the helper program "tamrel-trash-helper" run as root through pkexec (directly when this
// process is root already). The helper gets the Trash folder and every path as separate
// arguments and moves the items into $XDG_DATA_HOME/Trash, giving them back to the user. Stopped,
// the program started is sent SIGTERM: pkexec withdraws its prompt; once pkexec runs the helper
// as root the signal no longer reaches it and the helper finishes by itself; a helper run
// directly ends between two items (it holds signals back while it moves one).
class SystemPlatform final : public Platform {
public:
    // `helper` is the path of tamrel-trash-helper.
    explicit SystemPlatform(std::string helper = defaultHelper());

    // tamrel-trash-helper beside the running executable when it is there, else the one built
    // with this library.
    static std::string defaultHelper();

    std::optional<std::string> applicationPath(const std::string& bundleID) override;
    int run(const std::string& program, const std::vector<std::string>& args) override;
    bool trashAsAdministrator(const std::vector<ElevatedItem>& items,
                              const std::atomic<bool>& stop) override;

private:
    std::string helper_;
    AppRegistry registry_;
};

}  // namespace tamrel
