#pragma once

#include <string>

#include "tests/model/app/ModelFixture.h"
#include "tests/ui/Headless.h"

namespace tamrel::test {

// The model's fixture (a real AppModel over a real temporary tree, $HOME and XDG_DATA_HOME in
// it, its waits on `clock`, no start-up until asked), `clock` the screens' clock too, with a
// small tree to open: "data" with two photos and a note, and Downloads and Documents in the home
// folder.
class UiTest : public ModelTest {
protected:
    UiTest() : screenClock_(clock) {
        tree.mkdirs("home/Downloads");
        tree.mkdirs("home/Documents");
        put("data/photos/a.jpg", 200'000);
        put("data/photos/b.jpg", 120'000);
        put("data/notes.txt", 5'000);
    }

    std::string home() const { return tree.path() + "/home"; }

private:
    ScopedScreenClock screenClock_;
};

}  // namespace tamrel::test
