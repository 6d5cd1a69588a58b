#pragma once

#include <string>

#include "tests/model/app/ModelFixture.h"

namespace tamrel::test {

// The model's fixture (a real AppModel over a real temporary tree, $HOME and XDG_DATA_HOME in
// it, short waits, no start-up until asked) with a small tree to open: "data" with two photos
// and a note, and Downloads and Documents in the home folder.
class UiTest : public ModelTest {
protected:
    UiTest() {
        tree.mkdirs("home/Downloads");
        tree.mkdirs("home/Documents");
        put("data/photos/a.jpg", 200'000);
        put("data/photos/b.jpg", 120'000);
        put("data/notes.txt", 5'000);
    }

    std::string home() const { return tree.path() + "/home"; }
};

}  // namespace tamrel::test
