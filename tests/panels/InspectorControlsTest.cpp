#include "QuilmPrint/panels/InspectorControls.h"

#include "PanelTestSupport.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

using namespace QuilmPrint;

namespace {
// A number field over a value whose setter clamps like the model's exact size does.
struct ClampedValue {
    double value = 101.6;
    int commits = 0;
    NumberField field{[this] { return value; },
                      [this](double typed) {
                          ++commits;
                          value = std::max(typed, 5.0);
                      },
                      QStringLiteral("exact-w-")};

    void type(const QString& text, bool commit = true) {
        field.selectAll();
        QTest::keyClicks(&field, text);
        if (commit)
            QTest::keyClick(&field, Qt::Key_Return);
    }
};
} // namespace

TEST(InspectorControlsTest, NumberFieldShowsWhatTheModelKeptAfterCommitting) {
    ClampedValue v;
    EXPECT_EQ(v.field.text(), QString("101.6"));
    EXPECT_EQ(v.field.identity(), QString("exact-w-1016"));

    v.type("3");
    EXPECT_EQ(v.value, 5.0);
    EXPECT_EQ(v.field.text(), QString("5"));
    EXPECT_EQ(v.field.identity(), QString("exact-w-50"));

    v.type("101.64");
    EXPECT_EQ(v.value, 101.64);
    EXPECT_EQ(v.field.text(), QString("101.6"));
    EXPECT_EQ(v.field.identity(), QString("exact-w-1016"));

    // Text that is no number, or not a finite one, stores nothing and shows the value again.
    for (const char* text : {"abc", "nan", "inf", "1e999", ""}) {
        v.type(text);
        EXPECT_EQ(v.value, 101.64) << text;
        EXPECT_EQ(v.field.text(), QString("101.6")) << text;
    }
    EXPECT_EQ(v.commits, 2);
}

TEST(InspectorControlsTest, NumberFieldKeepsTypingUntilItsIdentityChanges) {
    ClampedValue v;
    v.type("12", false);
    v.field.setCursorPosition(1);
    v.value = 101.64; // same tenths: the typing stays
    v.field.refresh();
    EXPECT_EQ(v.field.text(), QString("12"));
    EXPECT_EQ(v.field.cursorPosition(), 1);
    v.value = 152.4; // changed elsewhere: the typing is dropped
    v.field.refresh();
    EXPECT_EQ(v.field.text(), QString("152.4"));
    QTest::keyClick(&v.field, Qt::Key_Return);
    EXPECT_EQ(v.commits, 0);

    // Without an identity the field keeps typing through every refresh until it is committed.
    double margin = 0;
    NumberField plain([&] { return margin; }, [&](double typed) { margin = typed; });
    plain.selectAll();
    QTest::keyClicks(&plain, "-2");
    margin = 7;
    plain.refresh();
    EXPECT_EQ(plain.text(), QString("-2"));
    QTest::keyClick(&plain, Qt::Key_Return);
    EXPECT_EQ(margin, -2);
    margin = 7.26;
    plain.refresh();
    EXPECT_EQ(plain.text(), QString("7.3"));
}

TEST(InspectorControlsTest, ChipsFillTheSelectedOneAndRefuseDisabledOnes) {
    ChipRow row({"표준", "고품질", "직접 지정"});
    QSignalSpy chosen(&row, &ChipRow::chosen);
    row.setSelected(1);
    row.setChipEnabled(2, false);
    row.resize(row.sizeHint());
    QImage image = PanelTest::grab(&row);
    // The selected chip lies on a plate; the others are outlined only, so their centre line is bare.
    const QColor bare = image.pixelColor(row.chip(0)->geometry().right() + 3, row.height() / 2);
    auto plate = [&](int index) {
        QRect chip = row.chip(index)->geometry();
        return image.pixelColor(chip.left() + 5, chip.center().y()) != bare;
    };
    EXPECT_FALSE(plate(0));
    EXPECT_TRUE(plate(1));
    QTest::mouseClick(row.chip(1), Qt::LeftButton);
    QTest::mouseClick(row.chip(2), Qt::LeftButton);
    QTest::mouseClick(row.chip(0), Qt::LeftButton);
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen[0][0].toInt(), 1); // choosing the selected chip chooses it again
    EXPECT_EQ(chosen[1][0].toInt(), 0);
}

TEST(InspectorControlsTest, MenuChipFillsItsMenuAfreshEachTimeItOpens) {
    MenuEntries entries{MenuEntry::item("A4", "sheet:A4"), MenuEntry::divider(),
                        MenuEntry::section("저장한 크기"), MenuEntry::item("사용자 지정…", "custom")};
    QStringList chosen;
    MenuChip chip([&] { return entries; }, [&](const QString& id) { chosen << id; });
    chip.setTitle("A4");
    emit chip.menu()->aboutToShow();
    QList<QAction*> actions = chip.menu()->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_FALSE(actions[0]->isSeparator());
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_TRUE(actions[1]->text().isEmpty());
    EXPECT_TRUE(actions[2]->isSeparator());
    EXPECT_EQ(actions[2]->text(), QString("저장한 크기"));
    actions[3]->trigger();
    EXPECT_EQ(chosen, QStringList{"custom"});

    entries = {MenuEntry::item("엽서", "sheet:Postcard")};
    emit chip.menu()->aboutToShow();
    ASSERT_EQ(chip.menu()->actions().size(), 1);
    EXPECT_EQ(chip.menu()->actions()[0]->text(), QString("엽서"));
    EXPECT_EQ(chip.title(), QString("A4"));
}
