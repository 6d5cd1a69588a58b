#include <QObject>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/app/Property.h"

namespace tamrel {
namespace {

// Three properties on one announcer, declared a, b, c; every announcement is logged with the
// spring it carried.
struct Three {
    Announcer announcer;
    Property<int> a{announcer, 0};
    Property<int, Announce::everyWrite> b{announcer, 0};
    Property<std::string> c{announcer};
    std::vector<std::string> log;

    Three() {
        const auto record = [this](const PropertyNotifier* p, std::string name) {
            QObject::connect(p, &PropertyNotifier::changed, [this, name] {
                const std::optional<Spring> spring = announcer.animation();
                log.push_back(spring ? name + "~" : name);
            });
        };
        record(&a, "a");
        record(&b, "b");
        record(&c, "c");
    }
};

TEST(PropertyTest, AnnouncesOnceEachInDeclarationOrderWhenTheOutermostBatchCloses) {
    const std::vector<std::pair<const char*, std::function<void(Three&)>>> cases = {
        {"a c",
         [](Three& t) {
             Batch batch(t.announcer);
             t.c.set(batch, "x");  // written first, announced after a
             t.a.set(batch, 1);
         }},
        {"a",
         [](Three& t) {
             Batch batch(t.announcer);
             t.a.set(batch, 1);
             t.a.set(batch, 2);  // twice: announced once
         }},
        {"",
         [](Three& t) {
             Batch batch(t.announcer);
             t.a.set(batch, 0);  // equal: silent
             t.c.set(batch, std::string());
         }},
        {"b",
         [](Three& t) {
             Batch batch(t.announcer);
             t.b.set(batch, 0);  // announces every write
         }},
        {"c",
         [](Three& t) {
             Batch batch(t.announcer);
             t.c.edit(batch, [](std::string&) {});  // edited in place: announced
         }},
        {"a c~",
         [](Three& t) {
             Batch outer(t.announcer);
             {
                 Batch inner(t.announcer);
                 t.a.set(inner, 1);
             }
             EXPECT_TRUE(t.log.empty());  // an inner batch sends nothing
             t.announcer.animated({0.5, 0.8}, [&] { t.c.set(outer, "y"); });
         }},
        {"a b",
         [](Three& t) {
             // A slot's own writes make a batch of their own, sent from inside the slot.
             QObject::connect(&t.a, &PropertyNotifier::changed, [&t] {
                 Batch batch(t.announcer);
                 t.b.set(batch, 1);
             });
             Batch batch(t.announcer);
             t.a.set(batch, 1);
         }},
    };
    for (const auto& [expected, writes] : cases) {
        Three t;
        writes(t);
        std::string got;
        for (const std::string& name : t.log)
            got += (got.empty() ? "" : " ") + name;
        EXPECT_EQ(got, expected);
        EXPECT_FALSE(t.announcer.animation());
    }
}

TEST(PropertyTest, PlacedPropertiesLeadTheOrderInTheOrderTheyWerePlaced) {
    Three t;
    t.announcer.place(t.c);
    t.announcer.place(t.a);
    {
        Batch batch(t.announcer);
        t.a.set(batch, 1);
        t.b.set(batch, 1);
        t.c.set(batch, "x");
    }
    EXPECT_EQ(t.log, (std::vector<std::string>{"c", "a", "b"}));
}

TEST(PropertyTest, TheClosingWorkRunsAfterTheWritesAndBeforeTheAnnouncements) {
    Three t;
    std::vector<int> seen;
    t.announcer.onClosing([&] {
        seen.push_back(t.a());
        EXPECT_TRUE(t.log.empty());
    });
    // A second closing work runs after the first, and what it writes joins the batch.
    t.announcer.onClosing([&] {
        Batch batch(t.announcer);
        t.c.set(batch, "late");
    });
    {
        Batch batch(t.announcer);
        t.a.set(batch, 7);
    }
    EXPECT_EQ(seen, std::vector<int>{7});
    EXPECT_EQ(t.log, (std::vector<std::string>{"a", "c"}));
}

}  // namespace
}  // namespace tamrel
