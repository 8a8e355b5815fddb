#include "platform/tray/StatusNotifierItem.h"

#include <QDBusMetaType>

#include <gtest/gtest.h>

#include "support/WaitFor.h"

#include <vector>

namespace hourlink {
namespace {

TEST(StatusNotifierItemTest, PicturesTravelAsArgbInNetworkByteOrder) {
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, 0x80112233);
    image.setPixel(1, 0, 0xFFA0B0C0);
    const SniPixmapList pixmaps = SniPixmapsFor(image);
    ASSERT_EQ(pixmaps.size(), 1);
    EXPECT_EQ(pixmaps[0].width, 2);
    EXPECT_EQ(pixmaps[0].height, 1);
    EXPECT_EQ(pixmaps[0].bytes, QByteArray::fromHex("80112233ffa0b0c0"));
    EXPECT_TRUE(SniPixmapsFor(QImage()).isEmpty());
    // Another format is converted first.
    QImage rgb(1, 1, QImage::Format_RGB888);
    rgb.fill(QColor(1, 2, 3));
    EXPECT_EQ(SniPixmapsFor(rgb).at(0).bytes, QByteArray::fromHex("ff010203"));
}

TEST(StatusNotifierItemTest, PropertiesCarryTheHintAndPictureAndClicksComeBackAfterTheCall) {
    std::vector<TrayActivation> activations;
    StatusNotifierItem item(7, "Pellandra Hourlink 2.0",
                            [&](TrayActivation activation) { activations.push_back(activation); }, {});
    EXPECT_TRUE(item.serviceName().startsWith("org.kde.StatusNotifierItem-"));
    EXPECT_TRUE(item.serviceName().endsWith("-7"));
    int tipSignals = 0;
    QObject::connect(&item, &StatusNotifierItem::NewToolTip, [&] { ++tipSignals; });
    item.setToolTip(QString::fromUtf8("today time is 1:02:03 è"));
    EXPECT_EQ(item.toolTip().title, QString::fromUtf8("today time is 1:02:03 è"));
    EXPECT_EQ(tipSignals, 1);
    QImage picture(32, 32, QImage::Format_ARGB32);
    picture.fill(0xFF2060A0);
    item.setIcon(picture);
    ASSERT_EQ(item.iconPixmap().size(), 1);
    EXPECT_EQ(item.iconPixmap()[0].bytes.size(), 32 * 32 * 4);
    EXPECT_EQ(item.menu().path(), "/MenuBar");
    EXPECT_FALSE(item.itemIsMenu()) << "a left click restores, the menu is on the right button";

    item.Activate(10, 20);
    item.ContextMenu(10, 20);
    item.SecondaryActivate(10, 20);
    EXPECT_TRUE(activations.empty()) << "the host gets its answer first";
    ASSERT_TRUE(testing::WaitFor([&] { return activations.size() == 3; }));
    EXPECT_EQ(activations, (std::vector<TrayActivation>{TrayActivation::Trigger, TrayActivation::Context,
                                                        TrayActivation::MiddleClick}));

    EXPECT_STREQ(QDBusMetaType::typeToSignature(QMetaType::fromType<SniToolTip>()), "(sa(iiay)ss)");
    EXPECT_STREQ(QDBusMetaType::typeToSignature(QMetaType::fromType<SniPixmapList>()), "a(iiay)");
}

} // namespace
} // namespace hourlink
