#include "platform/tray/DBusMenu.h"

#include <QDBusMetaType>

#include <gtest/gtest.h>

#include "support/WaitFor.h"

#include <string>
#include <vector>

namespace hourlink {
namespace {

// The menu of the program's icon, with a tick its owner controls, as a host reads it over the bus.
class DBusMenuTest : public ::testing::Test {
protected:
    DBusMenuTest()
        : menu(NotifyIconMenu{[this] {
                                  ++reads;
                                  return std::vector<MenuEntry>{{"Restore", true, false, false},
                                                                {"Start at login", false, true, ticked},
                                                                {"Close", false, false, false}};
                              },
                              [this](int index) {
                                  chosen.push_back(index);
                                  ticked = !ticked;
                              }}) {
        QObject::connect(&menu, &DBusMenu::LayoutUpdated,
                         [this](uint revision, int parent) { updates.emplace_back(revision, parent); });
    }

    bool ticked = false;
    int reads = 0;
    std::vector<int> chosen;
    std::vector<std::pair<uint, int>> updates;
    DBusMenu menu;
};

TEST_F(DBusMenuTest, TheLayoutHasOneChildPerLineWithLabelsAndTheTick) {
    DBusMenuLayoutItem layout;
    const uint revision = menu.GetLayout(0, -1, {}, layout);
    EXPECT_EQ(layout.id, 0);
    EXPECT_EQ(layout.properties.value("children-display"), "submenu");
    ASSERT_EQ(layout.children.size(), 3);
    EXPECT_EQ(layout.children[0].id, 1);
    EXPECT_EQ(layout.children[0].properties.value("label"), "Restore");
    EXPECT_FALSE(layout.children[0].properties.contains("toggle-type")) << "no box on a plain line";
    EXPECT_EQ(layout.children[1].properties.value("toggle-type"), "checkmark");
    EXPECT_EQ(layout.children[1].properties.value("toggle-state"), 0);
    EXPECT_EQ(layout.children[2].id, 3);

    // Depth 0 gives the root alone; a line's id gives that line.
    menu.GetLayout(0, 0, {}, layout);
    EXPECT_TRUE(layout.children.isEmpty());
    menu.GetLayout(2, -1, {}, layout);
    EXPECT_EQ(layout.id, 2);
    EXPECT_EQ(menu.GetLayout(0, -1, {}, layout), revision) << "unchanged lines keep their revision";
}

TEST_F(DBusMenuTest, AboutToShowReadsTheLinesAgainAndSaysWhetherTheyChanged) {
    EXPECT_TRUE(menu.AboutToShow(0)) << "the first read is news";
    EXPECT_FALSE(menu.AboutToShow(0));
    const int before = reads;
    ticked = true;
    EXPECT_TRUE(menu.AboutToShow(0));
    EXPECT_EQ(reads, before + 1);
    EXPECT_EQ(menu.GetProperty(2, "toggle-state").variant(), 1);

    QList<int> idErrors;
    ticked = false;
    EXPECT_EQ(menu.AboutToShowGroup({1, 2, 9}, idErrors), (QList<int>{1, 2}));
    EXPECT_EQ(idErrors, QList<int>{9});
    EXPECT_TRUE(menu.GetProperty(9, "label").variant().isNull());
    const DBusMenuItemPropertiesList group = menu.GetGroupProperties({0, 3, 7}, {});
    ASSERT_EQ(group.size(), 2);
    EXPECT_EQ(group[1].properties.value("label"), "Close");
}

TEST_F(DBusMenuTest, AClickRunsItsLineAfterTheCallAndAChangedTickIsAnnounced) {
    DBusMenuLayoutItem layout;
    const uint revision = menu.GetLayout(0, -1, {}, layout);
    menu.Event(2, "clicked", QDBusVariant(0), 0);
    EXPECT_TRUE(chosen.empty()) << "the host gets its answer first";
    ASSERT_TRUE(testing::WaitFor([this] { return !chosen.empty(); }));
    EXPECT_EQ(chosen, std::vector<int>{1});
    ASSERT_EQ(updates.size(), 1U);
    EXPECT_GT(updates[0].first, revision);
    EXPECT_EQ(updates[0].second, 0);

    // Other events, unknown lines and the root run nothing; a group reports the unknown ones.
    menu.Event(2, "hovered", QDBusVariant(0), 0);
    menu.Event(0, "clicked", QDBusVariant(0), 0);
    menu.Event(4, "clicked", QDBusVariant(0), 0);
    const QList<int> errors = menu.EventGroup(
        {DBusMenuEvent{3, "clicked", QDBusVariant(0), 0}, DBusMenuEvent{12, "clicked", QDBusVariant(0), 0}});
    EXPECT_EQ(errors, QList<int>{12});
    testing::WaitFor([] { return false; }, 50);
    EXPECT_EQ(chosen, (std::vector<int>{1, 2}));
}

TEST(DBusMenuTypesTest, TravelWithTheSignaturesOfTheMenuProtocol) {
    DBusMenu::registerTypes();
    const auto signature = [](QMetaType type) { return QString::fromLatin1(QDBusMetaType::typeToSignature(type)); };
    EXPECT_EQ(signature(QMetaType::fromType<DBusMenuLayoutItem>()), "(ia{sv}av)");
    EXPECT_EQ(signature(QMetaType::fromType<DBusMenuItemPropertiesList>()), "a(ia{sv})");
    EXPECT_EQ(signature(QMetaType::fromType<DBusMenuItemKeysList>()), "a(ias)");
    EXPECT_EQ(signature(QMetaType::fromType<DBusMenuEventList>()), "a(isvu)");
    // The slots name the lists by their own names, which QtDBus must find to export them.
    EXPECT_TRUE(QMetaType::fromName("hourlink::DBusMenuEventList").isValid());
}

TEST(DBusMenuTypesTest, AnEmptyMenuHasARootWithoutChildren) {
    DBusMenu menu(NotifyIconMenu{});
    DBusMenuLayoutItem layout;
    menu.GetLayout(0, -1, {}, layout);
    EXPECT_TRUE(layout.children.isEmpty());
    EXPECT_FALSE(menu.AboutToShow(0));
    menu.Event(1, "clicked", QDBusVariant(0), 0);
    testing::WaitFor([] { return false; }, 20);
}

} // namespace
} // namespace hourlink
