// The item menu and the file rows offer picking only where the Trash would take the item, through
// the model's one rule; the menu's entry turned off and a pick the rule refuses elsewhere say why.

#include "ui/results/ItemMenu.h"

#include "ui/results/RowItems.h"

#include <QMenu>

#include "tests/model/app/ActionsFixture.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/ui/UiFixture.h"

namespace tamrel {
namespace {

class ItemMenuTest : public test::UiTest {
protected:
    // The actions' titles, "-" for a divider, "(off)" after one turned off.
    static QStringList titles(QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? "-" : a->text() + (a->isEnabled() ? "" : " (off)"));
        delete menu;
        return out;
    }
};

TEST_F(ItemMenuTest, PickingIsOfferedOnlyWhereTheTrashWouldTakeIt) {
    AppModel& m = model();
    ActionsProbe::show(m, test::scanTree(tree.path()));
    const NodeId documents = id(home() + "/Documents");
    const NodeId notes = id(tree.path() + "/data/notes.txt");
    EXPECT_FALSE(m.mayPick(documents));
    EXPECT_FALSE(m.mayPick(id(home())));
    EXPECT_FALSE(m.mayPick(0));
    EXPECT_TRUE(m.mayPick(notes));
    EXPECT_EQ(titles(makeItemMenu(m, documents, true, nullptr)),
              (QStringList{"Look Inside", "Show in File Manager", "Open", "Copy Path", "-",
                           QStringLiteral(u"Pick for the Trash \u2014 a protected place (off)")}));
    EXPECT_EQ(m.pickRefusal(notes), "");
    EXPECT_EQ(titles(makeItemMenu(m, notes, true, nullptr)).back(), "Pick for the Trash");
    const auto pickable = [&] {
        std::vector<bool> out;
        for (const RowItem& row : rowItems(m, std::vector<NodeId>{documents, notes}, 1, {}))
            out.push_back(row.pickable);
        return out;
    };
    EXPECT_EQ(pickable(), (std::vector<bool>{false, true})) << "a row offers no key to refuse";

    // A pick from elsewhere (the Space key on a row, a tile) is refused aloud.
    m.toggleBasket(documents);
    EXPECT_TRUE(m.basket().empty());
    ASSERT_TRUE(m.toast());
    EXPECT_EQ(m.toast()->title, "Can't pick that");
    EXPECT_EQ(m.toast()->detail, QStringLiteral(u"Documents \u2014 a protected place"));
    m.toggleBasket(notes);
    EXPECT_EQ(m.basket(), NodeIds{notes});
    EXPECT_EQ(titles(makeItemMenu(m, notes, true, nullptr)).back(), "Unpick");
    EXPECT_EQ(pickable(), (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace tamrel
