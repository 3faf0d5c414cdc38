#include "WizardFixture.h"

#include <QFontMetrics>

namespace vornak::wizard::test {
namespace {

// The fixed dialog, and a sample of its controls: box (an auto-sized label has width -1: its
// corner is fixed and its text sets its size); for a text label its weight ("b" bold, "bu" bold
// underlined), colour, and whether it fills its box (on pages 4 and 5 labels show the page through).
TEST_F(WizardTest, TheWindowAndASampleOfControlsHaveTheDesignedPlaceFontAndColour)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(form->windowTitle(), "Vornak MOD Installer");
    EXPECT_EQ(form->size(), QSize(482, 293));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(form->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint),
              Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form->windowIcon().isNull());

    const QColor none;
    const struct {
        const char* name;
        QRect box;
        const char* weight; // nullptr: not a text label
        QColor colour;
        bool filled;
    } designed[] = {
        {"Picture1", {0, 0, 481, 75}, nullptr, none, false},
        {"FrameStep_3", {18, 84, 441, 155}, nullptr, none, false},
        {"Command4", {378, 260, 85, 23}, nullptr, none, false},
        {"Root", {14, 50, 329, 21}, nullptr, none, false},
        {"Command6", {102, 82, 249, 23}, nullptr, none, false},
        {"Line1", {50, 100, 342, 1}, nullptr, none, false},
        {"Command8", {346, 0, 95, 21}, nullptr, none, false},
        {"Label3", {12, 32, 413, 69}, "", none, true},
        {"Label8", {170, 6, -1, 13}, "b", QColor(0, 0, 255), true},
        {"Label12", {14, 6, 413, 15}, "b", QColor(0, 192, 0), false},
        {"Label15", {14, 136, -1, 13}, "", QColor(0, 0, 192), false},
        {"Label17_0", {14, 32, -1, 13}, "bu", QColor(255, 0, 0), false},
        {"Label17_16", {238, 102, -1, 13}, "b", QColor(128, 128, 128), false},
    };
    for (const auto& control : designed) {
        SCOPED_TRACE(control.name);
        QWidget* widget = Find<QWidget>(control.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->pos(), control.box.topLeft());
        EXPECT_EQ(widget->size(), control.box.width() < 0 ? widget->sizeHint() : control.box.size());
        EXPECT_EQ(widget->font().family(), "Tahoma");
        EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), 8.25);
        if (!control.weight)
            continue;
        QLabel* label = Label(control.name);
        EXPECT_EQ(label->font().bold(), control.weight[0] == 'b');
        EXPECT_EQ(label->font().underline(), std::string(control.weight) == "bu");
        if (control.colour.isValid()) {
            EXPECT_EQ(label->palette().color(label->foregroundRole()), control.colour);
        }
        EXPECT_EQ(label->autoFillBackground(), control.filled);
    }
}

TEST_F(WizardTest, TextsWrapInsideTheirBoxesAndShowTheirDesignedSigns)
{
    ASSERT_TRUE(Start());
    for (const char* name : {"Label3", "Label9", "Label13"}) {
        QLabel* label = Label(name);
        const int height = label->heightForWidth(label->width());
        EXPECT_GT(height, QFontMetrics(label->font()).lineSpacing()) << name << " does not wrap";
        EXPECT_LE(height, label->height() + 1) << name << " overflows its box";
    }
    EXPECT_TRUE(Label("Label20")->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(Label("Label17_9")->text(), "Manuals & Guides");
    EXPECT_TRUE(Label("Label1")->text().endsWith(QChar(0xA9)));
    // The heading, the name and the full stop read as one line.
    EXPECT_LE(Label("Label8")->x() + Label("Label8")->width(), Label("Label14")->x() + 1);
}

TEST_F(WizardTest, TabGoesThroughTheRowFirstThenThePageControls)
{
    ASSERT_TRUE(Start());
    QStringList order;
    for (QWidget* widget = Button("Command1"); order.size() < 9; widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() != Qt::NoFocus && !widget->objectName().isEmpty())
            order << widget->objectName();
    }
    EXPECT_EQ(order, QStringList({"Command1", "Command2", "Command3", "Command4", "Root", "Command5", "Command6",
                                  "Command8", "Command7"}));
    EXPECT_TRUE(Button("Command2")->isDefault());
}

} // namespace
} // namespace vornak::wizard::test
