// Large SVG pictures are drawn from their drawing on each paint instead of being kept as pixels:
// the part, the place and the fading come out as they do for a rasterised picture.
#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

#include "UiTestSupport.h"

using namespace zor::ui;
using namespace zor::ui::test;

namespace {

QImage Draw(const QString& ref, QSize size = {100, 50}) {
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    EXPECT_TRUE(DrawImage(p, QRect(QPoint(0, 0), size), ImageRef::Parse(ref), 1.0)) << ref.toStdString();
    p.end();
    return out;
}

}  // namespace

TEST(ImageDraw, ALargeSvgIsDrawnWholeOrInPartsWithoutBeingKeptAsPixels) {
    CPaintManagerUI::SetInstancePath(TestData());
    CPaintManagerUI::SetResourcePath(TestData());
    ClearImageCache();

    // 600 x 400 in its own units (1 MB of pixels): left half red, right half blue.
    const QImage whole = Draw(QStringLiteral("big_halves.svg"));
    EXPECT_EQ(whole.pixelColor(10, 25), QColor(Qt::red));
    EXPECT_EQ(whole.pixelColor(90, 25), QColor(Qt::blue));

    // The source is in the drawing's own units (its width and height), as for a raster picture.
    const QImage right = Draw(QStringLiteral("file='big_halves.svg' source='300,0,600,400'"));
    EXPECT_EQ(right.pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(right.pixelColor(95, 45), QColor(Qt::blue));
    const QImage left = Draw(QStringLiteral("file='big_halves.svg' source='0,0,300,400'"));
    EXPECT_EQ(left.pixelColor(95, 45), QColor(Qt::red));

    // dest places it inside the control; fade makes it translucent.
    const QImage placed = Draw(QStringLiteral("file='big_halves.svg' dest='50,0,100,50' fade='128'"));
    EXPECT_EQ(placed.pixelColor(25, 25).alpha(), 0);
    EXPECT_NEAR(placed.pixelColor(60, 25).alpha(), 128, 2);
    EXPECT_EQ(placed.pixelColor(60, 25).red(), 255);

    // Nine-slice corners still work from the drawing.
    const QImage sliced = Draw(QStringLiteral("file='big_halves.svg' corner='10,10,10,10'"), QSize(40, 40));
    EXPECT_EQ(sliced.pixelColor(2, 2), QColor(Qt::red));
    EXPECT_EQ(sliced.pixelColor(37, 37), QColor(Qt::blue));

    // Drawing it again keeps one cache entry, and a later part is still right.
    EXPECT_EQ(ImageCacheSize(), 1);
    EXPECT_EQ(Draw(QStringLiteral("file='big_halves.svg' source='300,0,600,400'")).pixelColor(50, 25),
              QColor(Qt::blue));
    EXPECT_EQ(ImageCacheSize(), 1);
}
