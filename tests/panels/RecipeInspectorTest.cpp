// The recipe inspector over a model on the private print server: its sections, rows and menus reaching the
// model through its operations, its controls, and pictures of it in typical states.
#include "QuilmPrint/panels/RecipeInspector.h"

#include "AppTestSupport.h"
#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/DriverSection.h"
#include "QuilmPrint/panels/InspectorControls.h"
#include "QuilmPrint/panels/LayoutText.h"
#include "QuilmPrint/panels/PaperText.h"
#include "QuilmPrint/shared/Controls.h"
#include "shared/WindowTestSupport.h"

#include <QMenu>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

using namespace QuilmPrint;

class InspectorTest : public ::testing::Test {
protected:
    // Starts the model, selects the queue and shows an inspector over it.
    void open(const std::string& queue) {
        std::string reason;
        if (!AppTestSupport::printServer(&reason))
            GTEST_SKIP() << reason;
        model = std::make_unique<PrintModel>(sandbox.environment());
        AppTestSupport::startAndWait(*model);
        AppTestSupport::selectAndWait(*model, queue);
        show();
    }
    void show() {
        inspector = std::make_unique<RecipeInspector>(model.get());
        inspector->resize(320, 1700);
        inspector->show();
        WindowTest::settle();
    }
    template <typename T = QWidget> T* get(const char* name) const {
        return WindowTest::child<T>(inspector.get(), name);
    }
    QString text(const char* label) const { return get<QLabel>(label)->text(); }
    bool shown(const char* name) const { return get(name)->isVisibleTo(inspector.get()); }
    int selected(const char* row) const { return get<ChipRow>(row)->selected(); }
    QString title(const char* chip) const { return get<MenuChip>(chip)->title(); }
    const PrintKit::PaperRecipe& recipe() const { return *model->recipe(); }
    // What a menu offers when it opens: items by title, "[title]" for headed sections, "-" for dividers.
    static QStringList menu(MenuChip* chip) {
        emit chip->menu()->aboutToShow();
        QStringList titles;
        for (QAction* action : chip->menu()->actions())
            titles << (action->isSeparator() ? (action->text().isEmpty() ? "-" : "[" + action->text() + "]")
                                             : action->text());
        return titles;
    }
    static void choose(MenuChip* chip, const QString& title) {
        emit chip->menu()->aboutToShow();
        for (QAction* action : chip->menu()->actions())
            if (!action->isSeparator() && action->text() == title) {
                action->trigger();
                return WindowTest::settle();
            }
        ADD_FAILURE() << "no menu item " << title.toStdString();
    }
    static void type(NumberField* field, const QString& text) {
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        WindowTest::settle();
    }
    // Typing any text, Hangul included, one character at a time.
    static void keys(QWidget* widget, const QString& text) {
        for (QChar character : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }
    static void click(QWidget* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        WindowTest::settle();
    }
    AppTestSupport::Sandbox sandbox;
    std::unique_ptr<PrintModel> model;
    std::unique_ptr<RecipeInspector> inspector;
};

#define OPEN(queue)                                                                                          \
    open(queue);                                                                                             \
    if (IsSkipped() || HasFatalFailure())                                                                    \
    return

TEST_F(InspectorTest, ShowsAPlaceholderUntilThereIsARecipeAndAReadablePPD) {
    std::string reason;
    if (!AppTestSupport::printServer(&reason))
        GTEST_SKIP() << reason;
    model = std::make_unique<PrintModel>(sandbox.environment());
    show();
    EXPECT_EQ(inspector->placeholder(), "프린터를 찾는 중…");
    AppTestSupport::startAndWait(*model);
    AppTestSupport::selectAndWait(*model, AppTestSupport::rawQueue); // a queue whose PPD cannot be read
    WindowTest::settle();
    EXPECT_EQ(inspector->placeholder(), "프린터를 고르면 설정이 나타납니다");
    AppTestSupport::selectAndWait(*model, "TestbedPhoto");
    WindowTest::settle();
    ASSERT_TRUE(model->recipe());
    EXPECT_EQ(inspector->placeholder(), QString());
}

TEST_F(InspectorTest, SectionsInOrderClosedByHairlinesWithHangulDrawnAndTheNameTypedInPlace) {
    OPEN("TestbedPhoto"); // the driver publishes no quality presets here: only the custom quality
    QWidget* content = get("inspectorContent");
    QStringList titles;
    std::vector<InspectorSection*> sections;
    for (int index = 0; index < content->layout()->count(); ++index)
        if (auto* section = qobject_cast<InspectorSection*>(content->layout()->itemAt(index)->widget())) {
            titles << section->title();
            sections.push_back(section);
        }
    EXPECT_EQ(titles, (QStringList{"레시피", "용지", "색", "배치", "드라이버"}));
    const QImage image = WindowTest::grab(inspector.get());
    for (InspectorSection* section : sections) {
        const QPoint bottom =
            section->mapTo(inspector.get(), QPoint(section->width() / 2, section->height() - 1));
        EXPECT_GT(image.pixelColor(bottom).lightness(), image.pixelColor(bottom - QPoint(0, 3)).lightness())
            << section->title().toStdString();
    }
    // Hangul is drawn in glyphs, not in empty boxes: two titles of two syllables each carry ink, and unlike
    // two pairs of missing-glyph boxes they differ.
    auto ink = [&](InspectorSection* section) {
        const QLabel* label = section->findChild<QLabel*>();
        QImage pixels = image.copy(
            QRect(label->mapTo(inspector.get(), QPoint(0, 0)),
                  QSize(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->height())));
        int count = 0;
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < pixels.width(); ++x) {
                const bool inked = pixels.pixelColor(x, y).lightness() > 90;
                pixels.setPixelColor(x, y, inked ? Qt::white : Qt::black);
                count += inked;
            }
        EXPECT_GT(count, 20) << label->text().toStdString();
        return pixels;
    };
    ASSERT_TRUE(QFontMetrics(sections[1]->findChild<QLabel*>()->font()).inFontUcs4(U'용'));
    const QImage paper = ink(sections[1]), layout = ink(sections[3]); // "용지" and "배치"
    EXPECT_NE(paper.copy(0, 0, layout.width(), layout.height()), layout);
    auto* quality = get<ChipRow>("quality"); // unsupported qualities are shown, disabled
    EXPECT_EQ(std::make_tuple(quality->chip(0)->isEnabled(), quality->chip(1)->isEnabled(),
                              quality->chip(2)->isEnabled(), quality->chip(0)->isVisible()),
              std::make_tuple(false, false, true, true));
    // The name renames on every keystroke and keeps its focus and cursor.
    auto* name = get<QLineEdit>("recipeName");
    inspector->activateWindow();
    name->setFocus();
    name->selectAll();
    keys(name, "광택");
    EXPECT_EQ(recipe().name, "광택");
    name->setCursorPosition(1);
    QTest::keyClicks(name, "A");
    WindowTest::settle();
    EXPECT_EQ(recipe().name, "광A택");
    EXPECT_EQ(std::make_tuple(name->text(), name->cursorPosition()), std::make_tuple(QString("광A택"), 2));
    EXPECT_EQ(QApplication::focusWidget(), name);
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Backspace); // clearing the field gives the empty name
    EXPECT_EQ(recipe().name, "");
    EXPECT_EQ(text("savedCaption"), "저장하면 다음에도 똑같은 설정으로 인쇄됩니다.");
    // Without any profile, colour managed by the application is refused with the reason.
    ASSERT_TRUE(model->profiles().empty());
    click(get<ChipRow>("colorManagement")->chip(0));
    EXPECT_EQ(model->failure(), "이 프린터에 쓸 ICC 프로파일을 찾지 못했습니다");
    EXPECT_TRUE(recipe().color.isDriver());
    EXPECT_EQ(selected("colorManagement"), 1);
}

TEST_F(InspectorTest, MediaSheetAndCustomSizeRowsReachTheModel) {
    OPEN(AppTestSupport::p900Queue);
    EXPECT_EQ(menu(get<MenuChip>("media")),
              (QStringList{"보통 용지", "프리미엄 광택 사진 용지", "Premium Luster Photo Paper",
                           "벨벳 파인 아트 용지"}));
    choose(get<MenuChip>("media"), "Premium Luster Photo Paper");
    EXPECT_EQ(recipe().media, "PLPP");
    EXPECT_EQ(title("media"), "Premium Luster Photo Paper");
    auto* sheet = get<MenuChip>("sheet");
    EXPECT_EQ(menu(sheet), (QStringList{"A4", "Letter", "A3", "4 x 6 인치", "엽서", "-", "사용자 지정…"}));
    choose(sheet, "엽서");
    EXPECT_EQ(std::make_pair(recipe().sheet, sheet->title()),
              std::make_pair(std::string("Postcard"), QString("엽서")));
    EXPECT_FALSE(shown("customWidth"));
    const PrintKit::CustomSheetSize current = model->currentPaperSize();
    choose(sheet, "사용자 지정…"); // starts from the size of the sheet being printed
    ASSERT_TRUE(recipe().customSheet);
    EXPECT_EQ(*recipe().customSheet, current);
    EXPECT_TRUE(shown("customCaption"));
    model->chooseCustomSheet(PrintKit::CustomSheetSize::fromMillimetres(100, 148));
    EXPECT_EQ(title("sheet"), "사용자 지정 100.0×148.0mm");
    EXPECT_EQ(selected("customOrientation"), 0);
    click(get<ChipRow>("customOrientation")->chip(1));
    EXPECT_NEAR(recipe().customSheet->widthMM(), 148, 1e-9);
    EXPECT_NEAR(recipe().customSheet->heightMM(), 100, 1e-9);
    EXPECT_EQ(selected("customOrientation"), 1);
    auto* width = get<NumberField>("customWidth");
    EXPECT_EQ(std::make_pair(width->text(), width->identity()),
              std::make_pair(QString("148"), QString("custom-w-1480")));
    // Text that is no finite number here stores nothing and shows the value again.
    for (const char* typed : {"1,480", "148,0,5", "abc", "nan", "inf", "1e999", ""}) {
        type(width, typed);
        EXPECT_NEAR(recipe().customSheet->widthMM(), 148, 1e-9) << typed;
        EXPECT_EQ(width->text(), "148") << typed;
    }
    type(width, "3000"); // stored as typed; the printer's range is checked when the sheet is prepared
    EXPECT_NEAR(recipe().customSheet->widthMM(), 3000, 1e-9);
    EXPECT_NEAR(recipe().customSheet->heightMM(), 100, 1e-9);
    EXPECT_EQ(get<NumberField>("customWidth")->identity(), "custom-w-30000");
    EXPECT_FALSE(model->tryPrepare().ok());
}

TEST_F(InspectorTest, QualitySharpeningAndEdgeCompensationRows) {
    OPEN(AppTestSupport::p900Queue);
    model->setMedia("PLAIN");
    model->setQuality(PrintKit::PrintQuality::standard);
    EXPECT_EQ(selected("quality"), 0);
    ASSERT_TRUE(shown("qualityDetails"));
    EXPECT_EQ(text("qualityCaption"), "Epson 공식 설정값. 하나라도 바꾸면 직접 지정으로.");
    QWidget* row = get("detail-EPIJ_Qual");
    auto* qual = row->findChild<MenuChip*>();
    ASSERT_TRUE(qual);
    EXPECT_EQ(qual->title(), "표준 - 720dpi");
    EXPECT_TRUE(get<ToggleRow>("detail-EPIJ_Bi_D")->isOn());
    EXPECT_FALSE(get<ToggleRow>("detail-EPIJ_Silt")->isOn());
    EXPECT_FALSE(shown("resetOverrides"));
    choose(qual, "정밀 - 1440dpi");          // editing a detail of a preset makes the quality custom
    EXPECT_EQ(get("detail-EPIJ_Qual"), row); // updated in place, not rebuilt
    EXPECT_EQ(recipe().quality, PrintKit::PrintQuality::custom);
    EXPECT_EQ(recipe().driverOverrides.at("EPIJ_Qual"), "303");
    EXPECT_EQ(selected("quality"), 2);
    EXPECT_EQ(text("qualityCaption"), "드라이버 옵션 그대로. 바꾼 항목만 레시피에 저장.");
    EXPECT_EQ(qual->title(), "정밀 - 1440dpi");
    ASSERT_TRUE(shown("resetOverrides"));
    click(get<ToggleRow>("detail-EPIJ_Silt")->toggle());
    EXPECT_EQ(recipe().driverOverrides.at("EPIJ_Silt"), "1");
    click(get<ChipButton>("resetOverrides"));
    EXPECT_TRUE(recipe().driverOverrides.empty());
    EXPECT_FALSE(shown("resetOverrides"));
    if (!recipe().sharpening) {
        EXPECT_EQ(selected("sharpening"), 0); // none counts as off
    }
    click(get<ChipRow>("sharpening")->chip(2));
    EXPECT_EQ(recipe().sharpening, PrintKit::OutputSharpening::standard);
    EXPECT_EQ(selected("sharpening"), 2);
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
    EXPECT_TRUE(recipe().bleedCompensation);
    EXPECT_EQ(text("bleedCaption"),
              caption("사진은 종이 크기에 맞춤. 종이 밖으로 나가는 띠는 사진 끝을 늘려 채움."));
}

TEST_F(InspectorTest, DriverSectionListsExactlyThePreparedOptions) {
    OPEN(AppTestSupport::p900Queue);
    model->setCopies(3);
    const PreparedSheet sheet = model->prepare();
    ASSERT_EQ(sheet.options.back(), (PrintKit::PrintOption{"copies", "3"}));
    EXPECT_EQ(text("driverCount"), "인쇄할 때마다 설정 " + QString::number(sheet.options.size()) +
                                       "개를 빠짐없이 그대로 보냅니다.");
    DriverSection* section = inspector->driverSection();
    click(get<ChipButton>("showDriverOptions"));
    ASSERT_TRUE(section->showingOptions());
    DriverOptionsList* list = section->optionsList();
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->rows(), DriverText::optionRows(sheet.options, *model->selectedPrinter()->ppd));
    EXPECT_EQ(list->rows().back(), (DriverText::OptionRow{"copies", "3", "copies=3"}));
    WindowTest::saveArtifact(list, "inspector-driver-options");
    // The open list follows the sheet, and closes when no sheet can be prepared.
    model->setCopies(4);
    WindowTest::settle();
    EXPECT_EQ(list->rows().back().pair, "copies=4");
    model->chooseCustomSheet({1, 1});
    WindowTest::settle();
    EXPECT_FALSE(list->isVisible());
    EXPECT_FALSE(section->showingOptions());
    EXPECT_EQ(text("driverUnprepared"), "설정을 만들 수 없습니다.");
    EXPECT_FALSE(shown("showDriverOptions"));
}

TEST_F(InspectorTest, AppManagedColourPicksTheSuggestionAndTheMenuOffersTheRest) {
    for (const char* description :
         {"SC-P900 Premium Glossy Photo Paper", "Canvas Matte Generic", "Paper 10", "Paper 9"})
        sandbox.addProfile(std::string(description) + ".icc", description);
    OPEN(AppTestSupport::p900Queue);
    model->setMedia("PGPP");
    model->setAppManagedColor(false);
    EXPECT_EQ(selected("colorManagement"), 1);
    EXPECT_FALSE(shown("profile"));
    EXPECT_EQ(text("managementHelp"), "sRGB로 보내고 프린터 드라이버가 색을 조정합니다.");
    click(get<ChipRow>("colorManagement")->chip(0));
    ASSERT_TRUE(recipe().color.app);
    EXPECT_EQ(recipe().color.app->profile.description, "SC-P900 Premium Glossy Photo Paper");
    EXPECT_EQ(title("profile"), "SC-P900 Premium Glossy Photo Paper");
    EXPECT_EQ(selected("intent"), 0);
    EXPECT_TRUE(get<ToggleRow>("blackPoint")->isOn());
    EXPECT_FALSE(shown("profileWarning"));
    EXPECT_EQ(menu(get<MenuChip>("profile")),
              (QStringList{"[이 용지에 추천]", "● SC-P900 Premium Glossy Photo Paper",
                           "[모든 프린터 프로파일]", "Canvas Matte Generic", "Paper 9", "Paper 10"}));
    choose(get<MenuChip>("profile"), "Paper 10");
    EXPECT_EQ(recipe().color.app->profile.description, "Paper 10");
    EXPECT_EQ(text("profileWarning"), "고른 용지용 프로파일이 아닙니다.");
    choose(get<MenuChip>("media"), "벨벳 파인 아트 용지");
    EXPECT_EQ(text("profileWarning"), "이 용지에 맞는 프로파일을 찾지 못했습니다.");
    EXPECT_EQ(menu(get<MenuChip>("profile")).first(), "[모든 프린터 프로파일]"); // the menu is made afresh
    click(get<ChipRow>("intent")->chip(1));
    EXPECT_EQ(recipe().color.app->intent, PrintKit::RenderingIntent::relativeColorimetric);
    EXPECT_EQ(text("intentHelp"), "낼 수 있는 색은 그대로, 벗어난 색만 가까운 색으로. 색 정확도 우선일 때.");
    click(get<ToggleRow>("blackPoint")->toggle());
    EXPECT_FALSE(recipe().color.app->blackPointCompensation);
    EXPECT_EQ(recipe().color.app->profile.description, "Paper 10");
}

TEST_F(InspectorTest, ExactSizeRowsFollowPresetsOrientationTypingAndDrags) {
    OPEN("TestbedPhoto");
    click(get<ChipRow>("perSheet")->chip(0));
    click(get<ChipRow>("layoutMode")->chip(2));
    ASSERT_EQ(model->layoutMode(), LayoutMode::exact);
    EXPECT_FALSE(shown("canvasOrientation"));
    EXPECT_EQ(text("modeDescription"),
              "정한 크기로 인쇄합니다. 사진 방향에 맞춰 돌리고, 모양이 다르면 가운데 기준으로 자릅니다.");
    EXPECT_EQ(menu(get<MenuChip>("preset")).size(), 6);
    choose(get<MenuChip>("preset"), "10×15cm (4×6in)");
    EXPECT_TRUE(model->exactTurnsToPhoto());
    EXPECT_EQ(title("preset"), "10×15cm (4×6in)");
    EXPECT_EQ(selected("exactOrientation"), 0);
    EXPECT_EQ(get<NumberField>("exactWidth")->identity(), "exact-w-1016");
    click(get<ChipRow>("exactOrientation")->chip(1));
    EXPECT_EQ(model->exactWidthMM(), 152.4);
    EXPECT_FALSE(model->exactTurnsToPhoto());
    EXPECT_EQ(title("preset"), "직접 입력");
    EXPECT_EQ(selected("exactOrientation"), 1);
    type(get<NumberField>("exactWidth"), "3"); // clamped to 5 mm, and shown as kept
    EXPECT_EQ(model->exactWidthMM(), 5.0);
    EXPECT_EQ(get<NumberField>("exactWidth")->text(), "5");
    type(get<NumberField>("exactHeight"), "101.64");
    EXPECT_EQ(model->exactHeightMM(), 101.64);
    EXPECT_EQ(get<NumberField>("exactHeight")->text(), "101.6");
    // A resize in the preview shows in the fields through their identities.
    PhotoItem photo;
    photo.id = QUuid::createUuid();
    model->resizeExact(PrintKit::Rect(0, 0, 288, 432), PrintKit::Rect(0, 0, 595, 842), photo);
    EXPECT_EQ(get<NumberField>("exactWidth")->text(), "101.6");
    EXPECT_EQ(get<NumberField>("exactHeight")->text(), "152.4");
    EXPECT_EQ(title("preset"), "10×15cm (4×6in)");
    type(get<NumberField>("margin"), "-2"); // stored as typed
    EXPECT_EQ(model->marginMM(), -2);
}

TEST_F(InspectorTest, FieldsAndTheSavedDateFollowTheLocale) {
    WindowTest::GermanDesktop german;
    OPEN(AppTestSupport::p900Queue);
    model->setMarginMM(2.5);
    auto* margin = get<NumberField>("margin");
    EXPECT_EQ(margin->text(), "2,5");
    // Either mark reads; what the locale would take for grouped thousands is refused and the value shown
    // again.
    const std::tuple<const char*, double, const char*> typed[] = {
        {"12,5", 12.5, "12,5"}, {"7.5", 7.5, "7,5"}, {"1.500", 7.5, "7,5"}};
    for (const auto& [text, value, shown] : typed) {
        type(margin, text);
        EXPECT_EQ(std::make_pair(model->marginMM(), margin->text()), std::make_pair(value, QString(shown)))
            << text;
    }
    model->saveRecipe();
    WindowTest::settle();
    const QRegularExpression germanDate(
        QStringLiteral("^1번째 저장 · \\d\\d\\.\\d\\d\\.\\d{4}, \\d\\d:\\d\\d$"));
    EXPECT_TRUE(germanDate.match(text("savedCaption")).hasMatch()) << text("savedCaption").toStdString();
    WindowTest::saveArtifact(inspector.get(), "inspector-german-locale");
}

TEST_F(InspectorTest, TheDialogsCustomSizesReachTheSheetMenuAndAreChosenAsTheCustomSheet) {
    // Written by hand, with an entry the print dialog could not read between two it can.
    const std::filesystem::path config = sandbox.root() / "config";
    std::filesystem::create_directories(config / "gtk-3.0");
    const std::string margins = "MarginTop=5\nMarginBottom=5\nMarginLeft=5\nMarginRight=5\n";
    TestSupport::writeFile(config / "gtk-3.0" / "custom-papers",
                           "[Paper0]\nName=Panorama\nWidth=210\nHeight=594\n" + margins +
                               "[Paper1]\nName=Broken\nWidth=?\nHeight=1\n" + margins +
                               "[Paper2]\nDisplayName=엽서 100x148\nName=custom-2\nWidth=100\nHeight=148\n" +
                               margins);
    TestSupport::ScopedEnvironment xdg("XDG_CONFIG_HOME", config.string());
    // The list is read once per run: this test reads its own, and the tests after it theirs.
    struct Forget {
        Forget() { PrintModel::customPaperCache().reset(); }
        ~Forget() { PrintModel::customPaperCache().reset(); }
    } forget;
    OPEN(AppTestSupport::p900Queue);
    const QStringList shown = menu(get<MenuChip>("sheet"));
    const qsizetype heading = shown.indexOf("[시스템에 만들어 둔 크기]");
    ASSERT_GE(heading, 0) << shown.join(" | ").toStdString();
    EXPECT_EQ(shown.mid(heading + 1),
              (QStringList{"Panorama — 210.0×594.0mm", "엽서 100x148 — 100.0×148.0mm", "사용자 지정…"}));
    choose(get<MenuChip>("sheet"), "엽서 100x148 — 100.0×148.0mm");
    EXPECT_EQ(recipe().customSheet, PrintKit::CustomSheetSize::fromMillimetres(100, 148));
}

TEST_F(InspectorTest, GridRowsClampTheirFieldsAndSummariseThePlan) {
    OPEN(AppTestSupport::p900Queue);
    click(get<ChipRow>("perSheet")->chip(1));
    ASSERT_EQ(model->photosPerSheet(), PhotosPerSheet::many);
    EXPECT_FALSE(shown("layoutMode"));
    EXPECT_EQ(menu(get<MenuChip>("gridTemplate")).size(), static_cast<qsizetype>(GridTemplate::all().size()));
    choose(get<MenuChip>("gridTemplate"), "4×6 모음 (10×15cm)");
    EXPECT_EQ(title("gridTemplate"), "4×6 모음 (10×15cm)");
    click(get<ToggleRow>("cutMarks")->toggle());
    EXPECT_EQ(title("gridTemplate"), "4×6 모음 (10×15cm)"); // cut marks are not compared
    click(get<ToggleRow>("captions")->toggle());
    EXPECT_TRUE(model->grid().captions);
    EXPECT_EQ(title("gridTemplate"), "직접 입력");
    click(get<ToggleRow>("captions")->toggle());
    EXPECT_EQ(selected("gridOrientation"), 0);
    click(get<ChipRow>("gridOrientation")->chip(2));
    EXPECT_EQ(model->grid().widthMM, 152.4);
    EXPECT_EQ(selected("gridOrientation"), 2);
    EXPECT_EQ(title("gridTemplate"), "직접 입력");
    type(get<NumberField>("cellWidth"), "2");
    EXPECT_EQ(model->grid().widthMM, 5.0);
    EXPECT_EQ(get<NumberField>("cellWidth")->text(), "5");
    type(get<NumberField>("gap"), "-1");
    EXPECT_EQ(model->grid().gapMM, 0.0);
    EXPECT_EQ(get<NumberField>("gap")->identity(), "grid-gap-0");
    model->setGrid(GridSettings{30, 40, 2, true, false, true, true, false, false});
    const auto plan = model->gridPlan(model->prepare());
    ASSERT_TRUE(plan.ok()) << plan.error.toStdString();
    EXPECT_EQ(text("gridSummary"), LayoutText::gridSummary(*plan.value, false, 0, 0));
    EXPECT_TRUE(text("gridSummary").endsWith(" · 사진 없음")) << text("gridSummary").toStdString();
    click(get<ChipRow>("repetition")->chip(1));
    EXPECT_TRUE(text("gridSummary").endsWith(" · 선택한 사진으로 모든 칸"));
    // A cell larger than the page cannot be planned: the planner's message, in the warning colour.
    type(get<NumberField>("cellWidth"), "1000");
    const auto failed = model->gridPlan(model->prepare());
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(text("gridSummary"), failed.error);
    EXPECT_EQ(get<QLabel>("gridSummary")->palette().color(QPalette::WindowText), Theme::warn());
}

TEST_F(InspectorTest, Screenshots) {
    sandbox.addProfile("P900 Glossy.icc", "SC-P900 Premium Glossy Photo Paper");
    OPEN(AppTestSupport::p900Queue);
    auto save = [&](const char* name) {
        QWidget* content = get("inspectorContent");
        content->layout()->activate();
        inspector->resize(320, content->layout()->totalHeightForWidth(320) + 2);
        WindowTest::saveArtifact(inspector.get(), name);
    };
    model->setMedia("PGPP");
    model->chooseSheet("A4");
    model->setSource("SFBL");
    model->setBleedCompensation(true);
    model->rename("광택 A4 여백 없음");
    save("inspector-borderless");
    model->setPhotosPerSheet(PhotosPerSheet::one);
    model->setLayoutMode(LayoutMode::exact);
    model->setExactPreset(LayoutText::sizePresets()[0]);
    save("inspector-exact");
    model->setPhotosPerSheet(PhotosPerSheet::many);
    model->applyGridTemplate(GridTemplate::all()[3]);
    save("inspector-grid");
    model->setPhotosPerSheet(PhotosPerSheet::one);
    model->setLayoutMode(LayoutMode::fit);
    model->setAppManagedColor(true);
    ASSERT_TRUE(recipe().color.app);
    save("inspector-app-colour");
}

TEST(InspectorControlsTest, NumberFieldKeepsTypingUntilItsIdentityChanges) {
    double value = 101.6;
    int commits = 0;
    NumberField field([&] { return value; }, [&](double typed) { ++commits, value = typed; }, "exact-w-");
    field.selectAll();
    QTest::keyClicks(&field, "12");
    field.setCursorPosition(1);
    value = 101.64; // same tenths: the typing stays
    field.refresh();
    EXPECT_EQ(std::make_pair(field.text(), field.cursorPosition()), std::make_pair(QString("12"), 1));
    value = 152.4; // changed elsewhere: the typing is dropped
    field.refresh();
    EXPECT_EQ(field.text(), "152.4");
    QTest::keyClick(&field, Qt::Key_Return);
    EXPECT_EQ(commits, 0);
    // Without an identity the field keeps typing through every refresh until it is committed.
    double margin = 0;
    NumberField plain([&] { return margin; }, [&](double typed) { margin = typed; });
    plain.selectAll();
    QTest::keyClicks(&plain, "-2");
    margin = 7;
    plain.refresh();
    EXPECT_EQ(plain.text(), "-2");
    QTest::keyClick(&plain, Qt::Key_Return);
    EXPECT_EQ(margin, -2);
    margin = 7.26;
    plain.refresh();
    EXPECT_EQ(plain.text(), "7.3");
}

TEST(InspectorControlsTest, ChipsFillTheSelectedOneAndRefuseDisabledOnes) {
    ChipRow row({"표준", "고품질", "직접 지정"});
    QSignalSpy chosen(&row, &ChipRow::chosen);
    row.setSelected(1);
    row.setChipEnabled(2, false);
    row.resize(row.sizeHint());
    const QImage image = WindowTest::grab(&row);
    // The selected chip lies on a plate; the others are outlined only, so their centre line is bare.
    const QColor bare = image.pixelColor(row.chip(0)->geometry().right() + 3, row.height() / 2);
    auto plate = [&](int index) {
        return image.pixelColor(row.chip(index)->geometry().left() + 5,
                                row.chip(index)->geometry().center().y()) != bare;
    };
    EXPECT_FALSE(plate(0));
    EXPECT_TRUE(plate(1));
    for (int index : {1, 2, 0})
        QTest::mouseClick(row.chip(index), Qt::LeftButton);
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen[0][0].toInt(), 1); // choosing the selected chip chooses it again
    EXPECT_EQ(chosen[1][0].toInt(), 0);
}

TEST(InspectorControlsTest, AMenuChipWithNothingToChooseIsDisabledUntilItsListHasEntries) {
    MenuEntries entries{MenuEntry::section("시스템에 만들어 둔 크기"), MenuEntry::divider()};
    MenuChip chip([&] { return entries; }, [](const QString&) {});
    chip.setTitle("A4");
    EXPECT_FALSE(chip.isEnabled());
    chip.show();
    QTest::mouseClick(&chip, Qt::LeftButton);
    EXPECT_FALSE(chip.menu()->isVisible());
    entries.push_back(MenuEntry::item("A4", "A4"));
    chip.setTitle("A4"); // the same value: the chip still follows its list
    EXPECT_TRUE(chip.isEnabled());
}

TEST(DriverOptionsListTest, ALongPairLeavesAShortValueWholeAndTwoLongTextsShareTheRow) {
    DriverOptionsList list;
    list.setRows(
        {{"용지 크기", "사용자 지정 크기", "PageSize=Custom.595.28x841.89.AndAVeryLongTailThatNeverEnds"},
         {"용지 종류", "울트라 프리미엄 광택 사진 용지, 아주 긴 이름이 붙은 종이 그대로",
          "EPIJ_Medi=ULTRAPREMIUMGLOSSYPHOTOPAPERWITHALONGKEY"}});
    list.show();
    WindowTest::settle();
    auto text = [&](int row, const char* name) {
        return list.findChild<QWidget*>(QStringLiteral("option-%1").arg(row))->findChild<ElidedLabel*>(name);
    };
    EXPECT_EQ(text(0, "value")->shownText(), "사용자 지정 크기");
    EXPECT_TRUE(text(0, "pair")->shownText().startsWith("PageSize=Custom."));
    EXPECT_TRUE(text(0, "pair")->shownText().endsWith("…"));
    EXPECT_TRUE(text(1, "value")->shownText().startsWith("울트라 프리미엄"));
    EXPECT_TRUE(text(1, "pair")->shownText().startsWith("EPIJ_Medi="));
    for (int row : {0, 1})
        EXPECT_GE(text(row, "pair")->x(), text(row, "value")->geometry().right() + 26);
    WindowTest::saveArtifact(&list, "driver-options-long-rows");
}
