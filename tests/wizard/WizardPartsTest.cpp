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

TEST(CaptionsAndFilters, PipeFiltersBecomeQtFiltersAndDoubleAmpersandsShowOne)
{
    EXPECT_EQ(QtFileFilter("Warcraft III maps (*.w3m)|*.w3m|"), "Warcraft III maps (*.w3m)");
    EXPECT_EQ(ShownCaption("a &&& b&"), "a & b");
}

// The real box, answered as a user would, shows what the window asked for.
TEST(QtMessageBoxes, ShowsTheRequestedBoxAndReturnsWhenTheUserPressesOk)
{
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = true;
        EXPECT_EQ(box->windowTitle(), QString("Required File"));
        EXPECT_EQ(box->text(), QString("Can't find the required file 'war3map.wts'!"));
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        box->button(QMessageBox::Ok)->click();
    });
    QtMessageBoxes().Show({"Required File", "Can't find the required file 'war3map.wts'!", QMessageBox::Critical,
                           QMessageBox::Ok});
    EXPECT_TRUE(shown);
}

} // namespace
} // namespace vornak::wizard
