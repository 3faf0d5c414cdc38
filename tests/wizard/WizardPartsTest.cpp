#include "wizard/CaptionText.h"
#include "wizard/FileDialogFilter.h"
#include "wizard/QtMessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace vornak::wizard {
namespace {

TEST(QtFileFilter, TurnsPipeFiltersIntoQtFilters)
{
    EXPECT_EQ(QtFileFilter("Warcraft III maps (*.w3m)|*.w3m|"), "Warcraft III maps (*.w3m)");
    EXPECT_EQ(QtFileFilter("Maps|*.w3m;*.w3x|All files (*.*)|*.*"), "Maps (*.w3m *.w3x);;All files (*.*)");
    EXPECT_EQ(QtFileFilter(""), "");
}

TEST(ShownCaption, DoubleAmpersandsShowOneAndSingleOnesMarkOnly)
{
    EXPECT_EQ(ShownCaption("Manuals && Guides"), "Manuals & Guides");
    EXPECT_EQ(ShownCaption("View &Credits"), "View Credits");
    EXPECT_EQ(ShownCaption("a &&& b&"), "a & b");
}

TEST(QtMessageBoxes, ShowsTheRequestedBoxAndReturnsWhenTheUserPressesOk)
{
    QtMessageBoxes boxes;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    boxes.Show({"Required File", "Can't find the required file 'war3map.wts'!", QMessageBox::Critical,
                QMessageBox::Ok});
    EXPECT_EQ(title, "Required File");
    EXPECT_EQ(text, "Can't find the required file 'war3map.wts'!");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

} // namespace
} // namespace vornak::wizard
