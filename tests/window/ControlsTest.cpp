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

TEST(ChipButtonTest, DisabledChipIsDrawnAtAThirdOfItsStrengthUnlessPressed) {
    Stage stage;
    struct Case {
        bool enabled, pressed;
        double strength;
    };
    const Case cases[] = {{true, false, 1.0}, {false, false, 0.35}, {false, true, 0.6}, {true, true, 0.6}};
    std::vector<ChipButton*> chips;
    for (const Case& c : cases) {
        auto* chip = stage.add(new ChipButton("출력", ChipStyle{true, Theme::inkSecondary(), 30}));
        chip->setEnabled(c.enabled);
        chip->setDown(c.pressed);
        chips.push_back(chip);
    }
    const QImage image = stage.show();
    const QColor plate = Theme::over(Theme::controlActive());
    for (size_t i = 0; i < chips.size(); ++i) {
        // The plate between the rounded corner and the label.
        const QColor pixel = Stage::at(image, chips[i], {5, 15});
        EXPECT_NEAR(coverage(pixel, Theme::base(), plate), cases[i].strength, 0.12) << "case " << i;
    }
}

TEST(ChipButtonTest, FilledChipHasNoOutlineAndPlainChipHasNoPlate) {
    Stage stage;
    auto* filled = stage.add(new ChipButton("채움", ChipStyle{true, Theme::inkSecondary(), 30}));
    auto* plain = stage.add(new ChipButton("테두리", ChipStyle{false, Theme::inkSecondary(), 30}));
    const QImage image = stage.show();
    // A filled chip's edge is its plate colour; a plain chip's edge is its outline and its inside is bare.
    EXPECT_LE(distance(Stage::at(image, filled, {0, 15}), Stage::at(image, filled, {5, 15})), 3);
    EXPECT_GT(distance(Stage::at(image, plain, {0, 15}), Theme::base()), 12);
    EXPECT_LE(distance(Stage::at(image, plain, {5, 15}), Theme::base()), 1);
}

TEST(ChipButtonTest, DisabledProminentChipShowsControlFillAndDimLabelAtFullOpacity) {
    Stage stage;
    auto* on = stage.add(new ChipButton("출력", ProminentChipStyle{Theme::active(), 30}));
    auto* off = stage.add(new ChipButton("출력", ProminentChipStyle{Theme::active(), 30}));
    off->setEnabled(false);
    const QImage image = stage.show();
    EXPECT_LE(distance(Stage::at(image, on, {5, 15}), Theme::active()), 2);
    EXPECT_LE(distance(Stage::at(image, off, {5, 15}), Theme::over(Theme::control())), 2);
    // The brightest label pixel of the disabled chip is the dim ink, not white.
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
        if (!cases[i].quarterFilled) {
            EXPECT_LE(distance(Stage::at(image, bars[i], {w / 4, 4}), Theme::over(Theme::control())), 2);
        }
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

TEST(ControlsTest, Gallery) {
    Stage stage;
    auto* row = new QHBoxLayout;
    row->addWidget(new ChipButton("사진 추가…", ChipStyle{false, Theme::inkSecondary(), 30}));
    auto* withSymbol = new ChipButton({}, ChipStyle{false, Theme::inkSecondary(), 30});
    withSymbol->setSymbol(Symbol::trash);
    row->addWidget(withSymbol);
    auto* menu = new ChipButton({}, ChipStyle{true, Theme::inkSecondary(), 26});
    menu->setMenuLabel(MenuChipLabel{Symbol::printer, "SC-P900", QFont::DemiBold, Qt::ElideRight});
    row->addWidget(menu);
    row->addWidget(new ChipButton("출력", ProminentChipStyle{Theme::active(), 30}));
    auto* busy = new ChipButton("연결", ProminentChipStyle{Theme::active(), 30});
    busy->setBusy(true);
    row->addWidget(busy);
    stage.layout->addLayout(row);
    auto* symbols = new QHBoxLayout;
    for (int s = int(Symbol::plus); s <= int(Symbol::listBullet); ++s)
        symbols->addWidget(new SymbolView(Symbol(s), 16, Theme::inkSecondary()));
    stage.layout->addLayout(symbols);
    stage.add(new Hairline);
    stage.add(new ProgressBar(0.4, 6, Theme::active()));
    stage.add(new ToggleRow("가장자리 보정"))->setOn(true);
    auto* title = stage.add(new QLabel("출력 작업"));
    TextStyle::sectionTitle(title);
    auto* helper = stage.add(new QLabel("앱이 용지 프로파일로 변환하고, 프린터의 색 조정은 끕니다. 줄이 길면 "
                                        "다음 줄로 넘어갑니다."));
    TextStyle::helper(helper);
    const QImage image = stage.show(520);
    WindowTest::saveArtifact(image, "controls");
    EXPECT_GT(menu->width(), 60);
}
