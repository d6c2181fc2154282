#include "QuilmPrint/window/Controls.h"

#include "WindowTestSupport.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using WindowTest::coverage;
using WindowTest::distance;

namespace {

// An opaque stage in the window colour, so that a control's translucent colours land on a known ground.
struct Stage {
    QWidget widget;
    QVBoxLayout* layout;

    Stage() {
        widget.setAutoFillBackground(true);
        QPalette palette = widget.palette();
        palette.setColor(QPalette::Window, Theme::base());
        widget.setPalette(palette);
        layout = new QVBoxLayout(&widget);
        layout->setContentsMargins(10, 10, 10, 10);
        layout->setSpacing(10);
    }

    template <typename W> W* add(W* child) {
        layout->addWidget(child);
        return child;
    }

    QImage show(int width = 240) {
        widget.resize(width, widget.sizeHint().height());
        widget.show();
        return WindowTest::grab(&widget);
    }

    // A pixel of `child` at a point given in its own coordinates.
    static QColor at(const QImage& image, QWidget* child, QPoint point) {
        return image.pixelColor(child->mapTo(child->window(), point));
    }
};

} // namespace

TEST(ThemeTest, KoreanTextHasGlyphsInTheApplicationFont) {
    // Without a font carrying Hangul every label renders as empty boxes while text checks still pass.
    const QFont font = Theme::font(12.5);
    EXPECT_TRUE(QFontMetrics(font).inFontUcs4(U'가')) << QFontInfo(font).family().toStdString();
    EXPECT_TRUE(QFontMetrics(font).inFontUcs4(U'출'));
}

TEST(ChipButtonTest, PlatesOutlinesAndDisabledStrength) {
    Stage stage;
    const std::tuple<bool, bool, double> cases[] = {{true, false, 1.0},
                                                    {false, false, 0.35},
                                                    {false, true, 0.6},
                                                    {true, true, 0.6}}; // enabled, pressed, strength
    std::vector<ChipButton*> chips;
    for (const auto& [enabled, pressed, strength] : cases) {
        auto* chip = stage.add(new ChipButton("출력", ChipStyle{true, Theme::inkSecondary(), 30}));
        chip->setEnabled(enabled);
        chip->setDown(pressed);
        chips.push_back(chip);
    }
    auto* plain = stage.add(new ChipButton("테두리", ChipStyle{false, Theme::inkSecondary(), 30}));
    auto* on = stage.add(new ChipButton("출력", ProminentChipStyle{Theme::active(), 30}));
    auto* off = stage.add(new ChipButton("출력", ProminentChipStyle{Theme::active(), 30}));
    off->setEnabled(false);
    auto* menu = stage.add(new ChipButton({}, ChipStyle{true, Theme::inkSecondary(), 26}));
    menu->setMenuLabel(MenuChipLabel{Symbol::printer, "SC-P900", QFont::DemiBold, Qt::ElideRight});
    auto* busy = stage.add(new ChipButton("연결", ProminentChipStyle{Theme::active(), 30}));
    busy->setBusy(true);
    stage.add(new Hairline);
    stage.add(new ToggleRow("가장자리 보정"))->setOn(true);
    TextStyle::sectionTitle(stage.add(new QLabel("출력 작업")));
    const QImage image = stage.show();
    WindowTest::saveArtifact(image, "controls");

    // The plate between the rounded corner and the label, at the chip's strength over the window colour.
    const QColor plate = Theme::over(Theme::controlActive());
    for (size_t i = 0; i < chips.size(); ++i)
        EXPECT_NEAR(coverage(Stage::at(image, chips[i], {5, 15}), Theme::base(), plate),
                    std::get<2>(cases[i]), 0.12)
            << "case " << i;
    // A filled chip's edge is its plate colour; a plain chip's edge is its outline and its inside is bare.
    EXPECT_LE(distance(Stage::at(image, chips[0], {0, 15}), Stage::at(image, chips[0], {5, 15})), 3);
    EXPECT_GT(distance(Stage::at(image, plain, {0, 15}), Theme::base()), 12);
    EXPECT_LE(distance(Stage::at(image, plain, {5, 15}), Theme::base()), 1);
    // A disabled prominent chip shows the control fill and its label in the dim ink, at full opacity.
    EXPECT_LE(distance(Stage::at(image, on, {5, 15}), Theme::active()), 2);
    EXPECT_LE(distance(Stage::at(image, off, {5, 15}), Theme::over(Theme::control())), 2);
    int brightest = 0;
    for (int x = 0; x < off->width(); ++x)
        for (int y = 0; y < off->height(); ++y)
            brightest = std::max(brightest, Stage::at(image, off, {x, y}).red());
    EXPECT_NEAR(brightest, Theme::over(Theme::inkTertiary(), Theme::over(Theme::control())).red(), 6);
}

TEST(ProgressBarTest, FillIsClampedToTheTrack) {
    Stage stage;
    struct Case {
        double value;
        bool quarterFilled, threeQuartersFilled, endFilled;
    };
    const Case cases[] = {{-0.2, false, false, false},
                          {0.5, true, false, false},
                          {1.7, true, true, true},
                          {std::nan(""), false, false, false}};
    std::vector<ProgressBar*> bars;
    for (const Case& c : cases)
        bars.push_back(stage.add(new ProgressBar(c.value, 8, Theme::good())));
    const QImage image = stage.show(210);
    for (size_t i = 0; i < bars.size(); ++i) {
        const int w = bars[i]->width();
        auto filled = [&](int x) { return distance(Stage::at(image, bars[i], {x, 4}), Theme::good()) <= 3; };
        EXPECT_EQ(filled(w / 4), cases[i].quarterFilled) << "case " << i;
        EXPECT_EQ(filled(w * 3 / 4), cases[i].threeQuartersFilled) << "case " << i;
        EXPECT_EQ(filled(w - 5), cases[i].endFilled) << "case " << i;
        if (!cases[i].quarterFilled)
            EXPECT_LE(distance(Stage::at(image, bars[i], {w / 4, 4}), Theme::over(Theme::control())), 2);
    }
}

TEST(MenuChipLabelTest, StartsWithItsSymbolOrTextAndStaysOnOneLine) {
    // Painted on the window colour: the symbol is in the secondary ink, the text in full ink.
    auto brightestIn = [](const QImage& image, int from, int to) {
        int brightest = 0;
        for (int x = from; x < to; ++x)
            for (int y = 0; y < image.height(); ++y)
                brightest = std::max(brightest, image.pixelColor(x, y).red());
        return brightest;
    };
    auto paint = [](const MenuChipLabel& label, int width) {
        QImage image(width, 24, QImage::Format_ARGB32_Premultiplied);
        image.fill(Theme::base());
        QPainter painter(&image);
        paintMenuChipLabel(painter, QRectF(0, 0, width, 24), label);
        return image;
    };
    const QString longName = "아주 긴 이름의 프린터 SC-P900 Series 사진 전용 대기열 두 번째";
    const QImage bare = paint({std::nullopt, longName, QFont::Normal, Qt::ElideRight}, 160);
    const QImage withSymbol = paint({Symbol::printer, longName, QFont::Normal, Qt::ElideRight}, 160);
    EXPECT_GE(brightestIn(bare, 0, 8), 200);
    EXPECT_LE(brightestIn(withSymbol, 0, 12), Theme::over(Theme::inkSecondary()).red() + 4);
    // One line: the elided text and the chevron fit the width, and the chevron is the last thing drawn.
    EXPECT_EQ(menuChipLabelSize({std::nullopt, longName}).height(),
              menuChipLabelSize({std::nullopt, "짧음"}).height());
    const int chevronTone = brightestIn(bare, 150, 160);
    EXPECT_GT(chevronTone, Theme::base().red() + 20);
    EXPECT_LE(chevronTone, Theme::over(Theme::inkTertiary()).red() + 4);
}

TEST(ToggleRowTest, TellsOnlyTheUsersChanges) {
    ToggleRow row("흑점 보정");
    row.resize(200, 24);
    row.show();
    QSignalSpy spy(&row, &ToggleRow::toggled);
    row.setOn(true);
    EXPECT_TRUE(row.isOn());
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseClick(row.toggle(), Qt::LeftButton);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_FALSE(spy.at(0).at(0).toBool());
    EXPECT_FALSE(row.isOn());
}

TEST(SymbolTest, EverySymbolDrawsInsideItsBox) {
    for (int s = int(Symbol::plus); s <= int(Symbol::listBullet); ++s) {
        QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        paintSymbol(painter, Symbol(s), QRectF(12, 12, 16, 16), Qt::white);
        painter.end();
        int inside = 0, outside = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                if (qAlpha(image.pixel(x, y)) < 40)
                    continue;
                (x >= 11 && x < 29 && y >= 11 && y < 29 ? inside : outside)++;
            }
        EXPECT_GT(inside, 10) << "symbol " << s;
        EXPECT_EQ(outside, 0) << "symbol " << s;
    }
}
