#include "InspectorFixture.h"
#include "QuilmPrint/panels/PaperText.h"

#include <QScrollArea>

using namespace QuilmPrint;

TEST_F(InspectorTest, ShowsAPlaceholderUntilThereIsARecipeAndAReadablePPD) {
    std::string reason;
    if (!AppTestSupport::printServer(&reason))
        GTEST_SKIP() << reason;
    model = std::make_unique<PrintModel>(sandbox.environment());
    show();
    EXPECT_EQ(inspector->placeholder(), QString("프린터를 찾는 중…"));

    AppTestSupport::startAndWait(*model);
    AppTestSupport::selectAndWait(*model, AppTestSupport::rawQueue); // a queue whose PPD cannot be read
    PanelTest::settle();
    EXPECT_EQ(inspector->placeholder(), QString("프린터를 고르면 설정이 나타납니다"));

    AppTestSupport::selectAndWait(*model, "TestbedPhoto");
    PanelTest::settle();
    ASSERT_TRUE(model->recipe());
    EXPECT_EQ(inspector->placeholder(), QString());
}

TEST_F(InspectorTest, SectionsComeInOrderEachClosedByAHairlineWithHangulDrawn) {
    OPEN("TestbedPhoto");
    QWidget* content = get<QWidget>("inspectorContent");
    QStringList titles;
    std::vector<InspectorSection*> sections;
    for (int index = 0; index < content->layout()->count(); ++index)
        if (auto* section = qobject_cast<InspectorSection*>(content->layout()->itemAt(index)->widget())) {
            titles << section->title();
            sections.push_back(section);
        }
    EXPECT_EQ(titles, (QStringList{"레시피", "용지", "색", "배치", "드라이버"}));

    QImage image = PanelTest::grab(inspector.get());
    for (InspectorSection* section : sections) {
        QPoint bottom = section->mapTo(inspector.get(), QPoint(section->width() / 2, section->height() - 1));
        QPoint above = bottom - QPoint(0, 3);
        EXPECT_GT(image.pixelColor(bottom).lightness(), image.pixelColor(above).lightness())
            << section->title().toStdString();
    }
    // Hangul is drawn in glyphs, not in empty boxes: two titles of two syllables each carry ink, and unlike
    // two pairs of missing-glyph boxes they differ.
    auto ink = [&](InspectorSection* section) {
        QLabel* title = section->findChild<QLabel*>();
        QRect box(title->mapTo(inspector.get(), QPoint(0, 0)),
                  QSize(QFontMetrics(title->font()).horizontalAdvance(title->text()), title->height()));
        QImage pixels = image.copy(box);
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < pixels.width(); ++x)
                pixels.setPixelColor(x, y, pixels.pixelColor(x, y).lightness() > 90 ? Qt::white : Qt::black);
        return pixels;
    };
    ASSERT_TRUE(QFontMetrics(sections[1]->findChild<QLabel*>()->font()).inFontUcs4(U'용'));
    QImage paper = ink(sections[1]), layout = ink(sections[3]); // "용지" and "배치"
    auto inked = [](const QImage& pixels) {
        int count = 0;
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < pixels.width(); ++x)
                count += pixels.pixelColor(x, y) == Qt::white;
        return count;
    };
    EXPECT_GT(inked(paper), 20);
    EXPECT_GT(inked(layout), 20);
    EXPECT_NE(paper.copy(0, 0, layout.width(), layout.height()), layout);
}

TEST_F(InspectorTest, NameRenamesOnEveryKeystrokeAndKeepsItsCursor) {
    OPEN("TestbedPhoto");
    auto* name = get<QLineEdit>("recipeName");
    inspector->activateWindow();
    name->setFocus();
    name->selectAll();
    keys(name, "광택");
    EXPECT_EQ(recipe().name, "광택");
    name->setCursorPosition(1);
    QTest::keyClicks(name, "A");
    PanelTest::settle();
    EXPECT_EQ(recipe().name, "광A택");
    EXPECT_EQ(name->text(), QString("광A택"));
    EXPECT_EQ(name->cursorPosition(), 2);
    EXPECT_EQ(QApplication::focusWidget(), name);
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Backspace); // clearing the field gives the empty name
    EXPECT_EQ(recipe().name, "");
    EXPECT_EQ(text("savedCaption"), QString("저장하면 다음에도 똑같은 설정으로 인쇄됩니다."));
}

TEST_F(InspectorTest, MediaAndSheetMenusReachTheModel) {
    OPEN(AppTestSupport::p900Queue);
    auto* media = get<MenuChip>("media");
    EXPECT_EQ(menu(media), (QStringList{"보통 용지", "프리미엄 광택 사진 용지", "Premium Luster Photo Paper",
                                        "벨벳 파인 아트 용지"}));
    choose(media, "Premium Luster Photo Paper");
    EXPECT_EQ(recipe().media, "PLPP");
    EXPECT_EQ(get<MenuChip>("media")->title(), QString("Premium Luster Photo Paper"));

    auto* sheet = get<MenuChip>("sheet");
    EXPECT_EQ(menu(sheet), (QStringList{"A4", "Letter", "A3", "4 x 6 인치", "엽서", "-", "사용자 지정…"}));
    choose(sheet, "엽서");
    EXPECT_EQ(recipe().sheet, "Postcard");
    EXPECT_EQ(sheet->title(), QString("엽서"));
    EXPECT_FALSE(shown("customWidth"));

    // "사용자 지정…" starts from the size of the sheet being printed.
    PrintKit::CustomSheetSize current = model->currentPaperSize();
    choose(sheet, "사용자 지정…");
    ASSERT_TRUE(recipe().customSheet);
    EXPECT_EQ(*recipe().customSheet, current);
    EXPECT_EQ(sheet->title(), PaperText::sheetTitle(recipe(), *model->selectedPrinter()->ppd));
    EXPECT_TRUE(shown("customCaption"));
}

TEST_F(InspectorTest, CustomSizeRowsEditTheSheetInMillimetres) {
    OPEN(AppTestSupport::p900Queue);
    model->chooseCustomSheet(PrintKit::CustomSheetSize::fromMillimetres(100, 148));
    EXPECT_EQ(get<MenuChip>("sheet")->title(), QString("사용자 지정 100.0×148.0mm"));
    auto* orientation = get<ChipRow>("customOrientation");
    EXPECT_EQ(selected(orientation), 0);
    click(orientation->chip(1));
    EXPECT_NEAR(recipe().customSheet->widthMM(), 148, 1e-9);
    EXPECT_NEAR(recipe().customSheet->heightMM(), 100, 1e-9);
    EXPECT_EQ(selected(get<ChipRow>("customOrientation")), 1);

    auto* width = get<NumberField>("customWidth");
    EXPECT_EQ(width->text(), QString("148"));
    EXPECT_EQ(width->identity(), QString("custom-w-1480"));
    type(width, "210,5"); // not a number here: nothing changes
    EXPECT_NEAR(recipe().customSheet->widthMM(), 148, 1e-9);
    type(width, "3000"); // stored as typed; the printer's range is checked when the sheet is prepared
    EXPECT_NEAR(recipe().customSheet->widthMM(), 3000, 1e-9);
    EXPECT_NEAR(recipe().customSheet->heightMM(), 100, 1e-9);
    EXPECT_EQ(get<NumberField>("customWidth")->identity(), QString("custom-w-30000"));
    EXPECT_FALSE(model->tryPrepare().ok());
}

TEST_F(InspectorTest, QualityPresetShowsItsDetailsAndEditingOneMakesItCustom) {
    OPEN(AppTestSupport::p900Queue);
    model->setMedia("PLAIN");
    model->setQuality(PrintKit::PrintQuality::standard);
    EXPECT_EQ(selected(get<ChipRow>("quality")), 0);
    ASSERT_TRUE(shown("qualityDetails"));
    EXPECT_EQ(text("qualityCaption"), QString("Epson 공식 설정값. 하나라도 바꾸면 직접 지정으로."));
    auto* qual = get<QWidget>("detail-EPIJ_Qual")->findChild<MenuChip*>();
    ASSERT_TRUE(qual);
    EXPECT_EQ(qual->title(), QString("표준 - 720dpi"));
    EXPECT_TRUE(get<ToggleRow>("detail-EPIJ_Bi_D")->isOn());
    EXPECT_FALSE(get<ToggleRow>("detail-EPIJ_Silt")->isOn());
    EXPECT_FALSE(shown("resetOverrides"));

    QWidget* row = get<QWidget>("detail-EPIJ_Qual");
    choose(qual, "정밀 - 1440dpi");
    EXPECT_EQ(get<QWidget>("detail-EPIJ_Qual"), row); // updated in place, not rebuilt
    EXPECT_EQ(recipe().quality, PrintKit::PrintQuality::custom);
    EXPECT_EQ(recipe().driverOverrides.at("EPIJ_Qual"), "303");
    EXPECT_EQ(selected(get<ChipRow>("quality")), 2);
    EXPECT_EQ(text("qualityCaption"), QString("드라이버 옵션 그대로. 바꾼 항목만 레시피에 저장."));
    EXPECT_EQ(qual->title(), QString("정밀 - 1440dpi"));
    ASSERT_TRUE(shown("resetOverrides"));

    click(get<ToggleRow>("detail-EPIJ_Silt")->toggle());
    EXPECT_EQ(recipe().driverOverrides.at("EPIJ_Silt"), "1");
    click(get<ChipButton>("resetOverrides"));
    EXPECT_TRUE(recipe().driverOverrides.empty());
    EXPECT_FALSE(shown("resetOverrides"));
}

TEST_F(InspectorTest, UnsupportedQualitiesAreShownDisabled) {
    OPEN("TestbedPhoto"); // the driver publishes no presets here: only the custom quality
    auto* quality = get<ChipRow>("quality");
    EXPECT_FALSE(quality->chip(0)->isEnabled());
    EXPECT_FALSE(quality->chip(1)->isEnabled());
    EXPECT_TRUE(quality->chip(2)->isEnabled());
    EXPECT_TRUE(quality->chip(0)->isVisible());
}

TEST_F(InspectorTest, SharpeningAndEdgeCompensationRowsWithTheirCaptions) {
    OPEN(AppTestSupport::p900Queue);
    auto* sharpening = get<ChipRow>("sharpening");
    if (!recipe().sharpening) {
        EXPECT_EQ(selected(sharpening), 0); // none counts as off
    }
    click(sharpening->chip(2));
    EXPECT_EQ(recipe().sharpening, PrintKit::OutputSharpening::standard);
    EXPECT_EQ(selected(get<ChipRow>("sharpening")), 2);

    model->chooseSheet("A4");
    model->setSource("STD");
    EXPECT_FALSE(shown("bleed")); // printed on the sheet's own page
    model->setSource("SFBL");     // borderless: a larger page than the sheet
    ASSERT_TRUE(model->prepare().paper);
    ASSERT_TRUE(shown("bleed"));
    // While the page's expansion is being measured the caption says so, whatever the switch says.
    auto caption = [&](const char* settled) {
        return QString(model->prepare().bleedPending ? "이 용지의 확대 비율 재는 중…" : settled);
    };
    EXPECT_EQ(text("bleedCaption"),
              caption("여백 없음은 종이보다 크게 인쇄해 가장자리 몇 mm가 잘림. 켜면 안 잘림."));
    click(get<ToggleRow>("bleed")->toggle());
    EXPECT_EQ(recipe().bleedCompensation, true);
    EXPECT_EQ(text("bleedCaption"),
              caption("사진은 종이 크기에 맞춤. 종이 밖으로 나가는 띠는 사진 끝을 늘려 채움."));
}
