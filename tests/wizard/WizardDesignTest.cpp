#include "WizardFixture.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>

namespace vornak::wizard::test {
namespace {

TEST_F(WizardTest, TheWindowIsAFixedDialogOfTheDesignedSize)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(form->windowTitle(), "Vornak MOD Installer");
    EXPECT_EQ(form->size(), QSize(482, 293));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form->windowIcon().isNull());
}

TEST_F(WizardTest, ControlsStandWhereTheDesignPutsThem)
{
    ASSERT_TRUE(Start());
    const struct {
        const char* name;
        QRect box;
    } designed[] = {
        {"Picture1", {0, 0, 481, 75}},      {"FrameStep_0", {18, 84, 441, 155}}, {"FrameStep_5", {18, 84, 441, 155}},
        {"Frame1", {16, 246, 445, 3}},      {"Command1", {16, 260, 109, 23}},    {"Command3", {208, 260, 79, 23}},
        {"Command2", {288, 260, 79, 23}},   {"Command4", {378, 260, 85, 23}},    {"Label3", {12, 32, 413, 69}},
        {"Root", {14, 50, 329, 21}},        {"Command5", {350, 50, 33, 21}},     {"Command6", {102, 82, 249, 23}},
        {"Label9", {14, 48, 415, 29}},      {"Label20", {12, 42, 413, 15}},      {"Image2", {202, 66, 32, 32}},
        {"Image4", {202, 80, 50, 50}},      {"Image5", {28, 88, 47, 30}},        {"Image3", {368, 88, 47, 30}},
        {"Line1", {50, 100, 342, 1}},       {"Image6", {206, 6, 47, 28}},        {"Line2", {112, 40, 308, 1}},
        {"Command7", {346, 0, 95, 21}},     {"Command8", {346, 0, 95, 21}},
    };
    for (const auto& control : designed) {
        QWidget* widget = Find<QWidget>(control.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), control.box) << control.name;
    }
    // Auto-sized labels keep their corner and take their text's size.
    EXPECT_EQ(Label("Label17_9")->pos(), QPoint(14, 94));
    EXPECT_EQ(Label("Label15")->pos(), QPoint(14, 136));
    EXPECT_EQ(Label("Label6")->width(), Label("Label6")->sizeHint().width());
}

TEST_F(WizardTest, TextsUseTahomaWithTheDesignedWeightsAndColours)
{
    ASSERT_TRUE(Start());
    for (const char* name : {"Label3", "Label12", "Label17_0", "Command2"}) {
        const QFont font = Find<QWidget>(name)->font();
        EXPECT_EQ(font.family(), "Tahoma") << name;
        EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.25) << name;
    }
    EXPECT_FALSE(Label("Label3")->font().bold());
    EXPECT_TRUE(Label("Label12")->font().bold());
    EXPECT_TRUE(Label("Label17_0")->font().bold());
    EXPECT_TRUE(Label("Label17_0")->font().underline());
    EXPECT_FALSE(Label("Label17_1")->font().underline());

    const auto colour = [this](const char* name) {
        QLabel* label = Label(name);
        return label->palette().color(label->foregroundRole());
    };
    EXPECT_EQ(colour("Label8"), QColor(0, 0, 255));
    EXPECT_EQ(colour("Label12"), QColor(0, 192, 0));
    EXPECT_EQ(colour("Label15"), QColor(0, 0, 192));
    EXPECT_EQ(colour("Label17_9"), QColor(192, 0, 192));
    EXPECT_EQ(colour("Label17_16"), QColor(128, 128, 128));
    EXPECT_EQ(colour("Label17_11"), QColor(64, 64, 0));
    // Pages 4 and 5 show their labels on the page itself; elsewhere a label fills its box.
    EXPECT_FALSE(Label("Label13")->autoFillBackground());
    EXPECT_FALSE(Label("Label18")->autoFillBackground());
    EXPECT_TRUE(Label("Label3")->autoFillBackground());
}

TEST_F(WizardTest, TextsWrapInsideTheirBoxesAndShowTheirDesignedSigns)
{
    ASSERT_TRUE(Start());
    for (const char* name : {"Label3", "Label9", "Label13"}) {
        QLabel* label = Label(name);
        const int lineHeight = QFontMetrics(label->font()).lineSpacing();
        EXPECT_TRUE(label->wordWrap()) << name;
        EXPECT_GT(label->heightForWidth(label->width()), lineHeight) << name << " does not wrap";
        EXPECT_LE(label->heightForWidth(label->width()), label->height() + 1) << name << " overflows its box";
    }
    EXPECT_TRUE(Label("Label20")->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(Label("Label17_9")->text(), "Manuals & Guides");
    EXPECT_TRUE(Label("Label1")->text().endsWith(QChar(0xA9)));
    EXPECT_EQ(Button("Command7")->text(), "View &Credits");
    // The heading, the name and the full stop read as one line.
    EXPECT_LE(Label("Label8")->x() + Label("Label8")->width(), Label("Label14")->x() + 1);
}

TEST_F(WizardTest, TabGoesThroughTheRowFirstThenThePageControls)
{
    ASSERT_TRUE(Start());
    QStringList order;
    QWidget* widget = Button("Command1");
    for (int i = 0; i < 9; ++i) {
        order << widget->objectName();
        do
            widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty());
    }
    EXPECT_EQ(order, QStringList({"Command1", "Command2", "Command3", "Command4", "Root", "Command5", "Command6",
                                  "Command8", "Command7"}));
    EXPECT_TRUE(Button("Command2")->isDefault());
}

} // namespace
} // namespace vornak::wizard::test
