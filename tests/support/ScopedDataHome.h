#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/TempDir.h"

namespace tamrel::test {

// Points XDG_DATA_HOME at a fresh temporary folder for the life of the object (saved indexes and
// the Trash then land there), and puts the old value back afterwards.
class ScopedDataHome {
public:
    ScopedDataHome() {
        if (const char* old = std::getenv("XDG_DATA_HOME")) old_ = old;
        ::setenv("XDG_DATA_HOME", dir_.path().c_str(), 1);
    }
    ~ScopedDataHome() {
        if (old_) {
            ::setenv("XDG_DATA_HOME", old_->c_str(), 1);
        } else {
            ::unsetenv("XDG_DATA_HOME");
        }
    }
    ScopedDataHome(const ScopedDataHome&) = delete;
    ScopedDataHome& operator=(const ScopedDataHome&) = delete;

    const std::string& path() const { return dir_.path(); }

private:
    TempDir dir_;
    std::optional<std::string> old_;
};

}  // namespace tamrel::test
