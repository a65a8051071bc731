// How the file list draws its rows: a check mark stays visible on a
// highlighted row.
#include <QImage>
#include <QStyle>
#include <QStyleOptionViewItem>

#include "PhoneWindow.h"
#include "support/Controls.h"
#include "support/VirtualRig.h"

namespace {
// The pixels of Area in Image much darker than its lightest one.
int darkPixels(const QImage& Image, const QRect& Area) {
    int lightest = 0;
    for (int y = Area.top(); y <= Area.bottom(); ++y) {
        for (int x = Area.left(); x <= Area.right(); ++x) {
            lightest = std::max(lightest, qGray(Image.pixel(x, y)));
        }
    }
    int dark = 0;
    for (int y = Area.top(); y <= Area.bottom(); ++y) {
        for (int x = Area.left(); x <= Area.right(); ++x) {
            dark += qGray(Image.pixel(x, y)) < lightest - 100 ? 1 : 0;
        }
    }
    return dark;
}
}  // namespace

TEST_F(PhoneWindowTest, CheckMarksShowOnHighlightedRows) {
    writeFile(config.ExcludePath, "/a/mobile/picture/a.jpg\r\n");
    plugBefore("one", phoneState("A", "0A",
                                 {{"/a/mobile/picture/a.jpg", test::FileBytes(10)},
                                  {"/a/mobile/picture/b.jpg", test::FileBytes(10)}}));
    TForm1& f = open();
    f.show();
    ASSERT_EQ(checkState(0), Qt::Checked);
    ASSERT_EQ(checkState(1), Qt::Unchecked);
    auto* view = test::control<QTreeView>(f, "ListView1");
    // The check box of a row, where the style draws it.
    auto indicator = [&](int Row) {
        QStyleOptionViewItem opt;
        opt.initFrom(view->viewport());
        opt.rect = view->visualRect(list()->index(Row, 0));
        opt.features = QStyleOptionViewItem::HasCheckIndicator;
        return view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, view);
    };
    const QImage before = view->viewport()->grab().toImage();
    clickRow(0);
    clickRow(1, Qt::ControlModifier);
    const QImage highlighted = view->viewport()->grab().toImage();
    // A check mark is a few dozen dark pixels in its box, highlighted or not.
    const int mark = darkPixels(before, indicator(0)) - darkPixels(before, indicator(1));
    ASSERT_GT(mark, 10);
    EXPECT_GT(darkPixels(highlighted, indicator(0)) - darkPixels(highlighted, indicator(1)),
              mark / 2);
}
