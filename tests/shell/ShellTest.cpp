// The shell: commands and their shortcuts, updates, handing files over, the photo chooser on a laptop's
// screen, and the controls and symbols of the palette.
#include "AppTestSupport.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shared/QtDesktop.h"
#include "QuilmPrint/shell/AppDelegate.h"
#include "QuilmPrint/shell/ContentView.h"
#include "QuilmPrint/shell/MainWindow.h"
#include "QuilmPrint/shell/Updates.h"
#include "shared/RecordingDesktop.h"
#include "shared/WindowTestSupport.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTreeView>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

using namespace QuilmPrint;
using WindowTest::coverage;
using WindowTest::distance;

namespace {
struct FakeUpdater : UpdateController {
    int* checks;
    explicit FakeUpdater(int* counter) : checks(counter) {}
    void checkForUpdates(QWidget*) override { ++*checks; }
};

struct ShellTest : ::testing::Test {
    RecordingDesktop& desktop = RecordingDesktop::install();
    AppTestSupport::Sandbox sandbox;
    ~ShellTest() override { Updates::shared().reset(); }
};
} // namespace

TEST_F(ShellTest, MenuShortcutsReachOnlyTheirOwnNotification) {
    AppDelegate delegate;
    MainWindow window(&delegate, sandbox.environment());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // What the loaded printer list brings (an alert, the set-up sheet, which holds the keys while it is open)
    // may come at any moment; it is not what this test asks about, so it is let come and put away first.
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return !window.content()->model()->isLoadingPrinters(); }));
    WindowTest::settle();
    window.content()->model()->setShowingSetup(false);
    QTRY_VERIFY(!window.content()->setupSheet());
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    desktop.asked.clear();
    QSignalSpy open(&delegate, &AppDelegate::quilmPrintOpenFiles);
    QSignalSpy add(&delegate, &AppDelegate::quilmPrintAddPhotos);
    QSignalSpy print(&delegate, &AppDelegate::quilmPrintPrint);
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ((QList<qsizetype>{add.count(), print.count()}), (QList<qsizetype>{1, 0}));
    QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ((QList<qsizetype>{add.count(), print.count(), open.count()}), (QList<qsizetype>{1, 1, 0}));
    // The view answered the add command with the photo chooser, and nothing else asked the user anything.
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(std::make_pair(desktop.asked[0].kind, desktop.asked[0].title),
              std::make_pair(QString("photos"), QString("출력할 사진이나 폴더를 선택하세요")));
    EXPECT_EQ(window.windowTitle(), "Quilm Print");
}

TEST_F(ShellTest, UpdateCommandAnswersForEachStateOfTheBuild) {
    int checks = 0;
    std::optional<int> unsent;
    // build settings, unsent sheets; the alert's title and text, the checks made
    using Case = std::tuple<Updates::BuildSettings, std::optional<int>, QString, QString, int>;
    const QString feed = "https://example.invalid/feed.xml", none = "이 빌드는 업데이트를 받지 않습니다",
                  noneText = "배포용 앱에서만 업데이트를 확인합니다.";
    const Case cases[] = {
        {{"", ""}, std::nullopt, none, noneText, 0},
        {{feed, ""}, std::nullopt, none, noneText, 0},
        {{"", "key"}, std::nullopt, none, noneText, 0},
        {{feed, "key"},
         2,
         "지금은 업데이트를 확인할 수 없습니다",
         "보내지 않은 장 2장이 있습니다. 인쇄를 프린터로 보낸 뒤 다시 확인하세요.",
         0},
        {{feed, "key"}, 0, {}, {}, 1},
        {{feed, "key"}, std::nullopt, {}, {}, 1},
    };
    for (const auto& [settings, sheets, title, text, checked] : cases) {
        SCOPED_TRACE(title.toStdString() + " " + std::to_string(checked));
        Updates& updates = Updates::shared();
        updates.reset();
        updates.setBuildSettings(settings);
        updates.setControllerFactory([&](Updates&) { return std::make_unique<FakeUpdater>(&checks); });
        unsent = sheets;
        updates.setUnsentSheets([&] { return unsent; });
        updates.start();
        checks = 0;
        desktop.asked.clear();
        updates.checkCommand(nullptr);
        EXPECT_EQ(checks, checked);
        QStringList asked;
        for (const RecordingDesktop::Asked& question : desktop.asked)
            asked << question.kind << question.title << question.text;
        EXPECT_EQ(asked, (title.isEmpty() ? QStringList() : QStringList{"alert", title, text}));
        EXPECT_EQ(updates.updaterMayCheck(), !sheets || *sheets < 1);
    }
}

TEST_F(ShellTest, UpdatesHoldNothingWithoutALiveModel) {
    {
        ContentView view(sandbox.environment());
        view.model()->start();
        EXPECT_EQ(Updates::shared().holdReason(), std::nullopt); // a model with no jobs
    }
    EXPECT_EQ(Updates::shared().holdReason(), std::nullopt); // and none at all
}

TEST_F(ShellTest, TheLaunchStartsTheUpdatesBeforeItDressesTheWindows) {
    AppDelegate delegate;
    MainWindow window(&delegate, sandbox.environment());
    QDialog dialog(&window); // a dialog keeps its own colours
    window.show();
    dialog.show();
    int checks = 0;
    std::optional<bool> dressedAtStart;
    Updates& updates = Updates::shared();
    updates.setBuildSettings({"http://127.0.0.1:9/feed.json", "key"});
    updates.setControllerFactory([&](Updates&) {
        dressedAtStart = window.testAttribute(Qt::WA_SetPalette);
        return std::make_unique<FakeUpdater>(&checks);
    });
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(updates.controller());
    EXPECT_EQ(dressedAtStart, false);
    QApplication::processEvents();
    EXPECT_TRUE(window.testAttribute(Qt::WA_SetPalette));
    EXPECT_FALSE(dialog.testAttribute(Qt::WA_SetPalette));
    EXPECT_EQ(checks, 0); // starting is not checking
}

TEST(AppDelegateTest, TheDesktopFileNameIsTheEntryTheBuildInstalls) {
    // The desktop (Wayland's application id) finds the entry, its name and icon by this name.
    const QString name = AppDelegate::desktopFileName();
    QFile entry(QStringLiteral(QUILM_BINARY_DIR "/QuilmPrint/") + name + ".desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly)) << entry.fileName().toStdString();
    const QStringList lines = QString::fromUtf8(entry.readAll()).split('\n');
    EXPECT_TRUE(lines.contains("Icon=" + name));
    EXPECT_TRUE(lines.contains("Exec=" + name + " %F"));
}

TEST(AppDelegateTest, FilesFromTheCommandLineAreMadeAbsoluteAndOptionsSkipped) {
    const auto files = AppDelegate::filesFromArguments(
        {"QuilmPrint", "--verbose", "/abs/a.jpg", "relative.png", "--", "-dash.tif"});
    const std::filesystem::path here = std::filesystem::current_path();
    EXPECT_EQ(files,
              (std::vector<std::filesystem::path>{"/abs/a.jpg", here / "relative.png", here / "-dash.tif"}));
}

namespace {
// The photo chooser open on a folder with a photo, a folder of photos and a folder of build output, once
// its list shows all three with their types.
struct PhotoFileDialogTest : ::testing::Test {
    TestSupport::TemporaryDirectory folder;
    std::unique_ptr<PhotoFileDialog> dialog;
    QTreeView* list = nullptr;
    QLineEdit* name = nullptr;

    void SetUp() override {
        std::filesystem::create_directories(folder / "여행");
        std::filesystem::create_directories(folder / "build" / "deep");
        TestSupport::writeFile(folder / "a.jpg", "not decoded here");
        TestSupport::writeFile(folder / "여행" / "b.jpg", "not decoded here");
        TestSupport::writeFile(folder / "build" / "deep" / "c.jpg", "not decoded here");
        dialog = std::make_unique<PhotoFileDialog>(nullptr, "출력할 사진이나 폴더를 선택하세요");
        dialog->setDirectory(path(folder.path()));
        dialog->open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        list = dialog->findChild<QTreeView*>("treeView");
        name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_TRUE(list && name && list->isVisible());
        ASSERT_TRUE(showsWithTypes(3));
    }
    static QString path(const std::filesystem::path& file) { return QString::fromStdString(file.string()); }
    bool showsWithTypes(int rows) const {
        return QTest::qWaitFor(
            [&] {
                const QModelIndex root = list->rootIndex();
                for (int row = 0; row < list->model()->rowCount(root); ++row)
                    if (list->model()->index(row, 2, root).data().toString().isEmpty())
                        return false;
                return list->model()->rowCount(root) == rows;
            },
            10000);
    }
    QModelIndex row(const QString& title) const {
        const QModelIndex root = list->rootIndex();
        for (int row = 0; row < list->model()->rowCount(root); ++row)
            if (list->model()->index(row, 0, root).data().toString() == title)
                return list->model()->index(row, 0, root);
        return {};
    }
    // The width the list's texts and icons in `column` need, as the view itself measures them.
    int contentsWidth(int column) const {
        struct View : QTreeView {
            static int hint(const QTreeView* view, int column) {
                return (view->*(&View::sizeHintForColumn))(column);
            }
        };
        return View::hint(list, column);
    }
};
} // namespace

TEST_F(PhotoFileDialogTest, ATypedFolderIsOpenedAndAFolderChosenInTheListIsTaken) {
    // A folder's path typed into the name field and entered: the dialog goes there and hands over nothing.
    for (const QString& typed : {path(folder / "build"), QString("deep")}) {
        SCOPED_TRACE(typed.toStdString());
        name->setFocus();
        QTest::keyClicks(name, typed);
        // The field offers its completions as the path is typed.
        ASSERT_TRUE(name->completer());
        ASSERT_TRUE(QTest::qWaitFor([&] { return name->completer()->popup()->isVisible(); }, 5000));
        QTest::keyClick(name, Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_NE(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(name->text(), "");
        // The folder is open: its completions close with it, and nothing covers the file types below.
        QTest::qWait(100);
        EXPECT_FALSE(name->completer()->popup()->isVisible());
    }
    EXPECT_EQ(dialog->directory(), QDir(path(folder / "build" / "deep")));
    ASSERT_TRUE(showsWithTypes(1));
    WindowTest::saveArtifact(dialog.get(), "dialog-add-photos-typed-folder");

    // A folder chosen in the list, and a photo with a folder, are taken with "열기" as they are.
    dialog->setDirectory(path(folder.path()));
    ASSERT_TRUE(showsWithTypes(3));
    for (const QStringList& chosen : {QStringList{"여행"}, QStringList{"a.jpg", "여행"}}) {
        SCOPED_TRACE(chosen.join(',').toStdString());
        dialog->setResult(0);
        list->clearSelection();
        for (const QString& title : chosen) {
            const QModelIndex index = row(title);
            ASSERT_TRUE(index.isValid());
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              list->visualRect(index).center());
        }
        if (chosen.size() == 1)
            WindowTest::saveArtifact(dialog.get(), "dialog-add-photos-chosen-folder");
        QPushButton* open = dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open);
        ASSERT_TRUE(open && open->isEnabled());
        QTest::mouseClick(open, Qt::LeftButton);
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        QStringList names;
        for (const QString& file : dialog->selectedFiles())
            names << QFileInfo(file).fileName();
        names.sort();
        EXPECT_EQ(names, chosen);
        dialog->open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
}

TEST_F(PhotoFileDialogTest, OpensLargeEnoughForItsColumnsOnALaptopScreen) {
    const QRect screen = dialog->screen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1366, 768));
    EXPECT_TRUE(screen.contains(QRect(screen.topLeft(), dialog->frameGeometry().size())));
    // Name, size, type and date: each as wide as its title and its texts, and all of them in view.
    QHeaderView* header = list->header();
    ASSERT_EQ(header->count(), 4);
    for (int column = 0; column < header->count(); ++column) {
        SCOPED_TRACE(list->model()->headerData(column, Qt::Horizontal).toString().toStdString());
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column));
        EXPECT_GE(header->sectionSize(column), contentsWidth(column));
    }
    EXPECT_LE(header->sectionViewportPosition(3) + header->sectionSize(3), list->viewport()->width());
    WindowTest::saveArtifact(dialog.get(), "dialog-add-photos-laptop");
}

TEST(PhotoFileDialogStartTest, OpensInThePicturesFolderOrElseInTheHomeFolder) {
    TestSupport::TemporaryDirectory home;
    TestSupport::ScopedEnvironment user("HOME", home.path().string()),
        config("XDG_CONFIG_HOME", (home / ".config").string());
    EXPECT_EQ(PhotoFileDialog(nullptr, "사진").directory(),
              QDir(QString::fromStdString(home.path().string())));
    ASSERT_TRUE(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)));
    EXPECT_EQ(PhotoFileDialog(nullptr, "사진").directory(),
              QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)));
}

namespace {
// An opaque stage in the window colour, so that a control's translucent colours land on a known ground.
struct Stage {
    QWidget widget;
    QVBoxLayout* layout = new QVBoxLayout(&widget);
    Stage() {
        widget.setAutoFillBackground(true);
        QPalette palette = widget.palette();
        palette.setColor(QPalette::Window, Theme::base());
        widget.setPalette(palette);
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
    // A pixel of `child` at a point in its own coordinates.
    static QColor at(const QImage& image, QWidget* child, QPoint point) {
        return image.pixelColor(child->mapTo(child->window(), point));
    }
};

// The brightest red channel in the columns [from, to) of the image.
int brightest(const QImage& image, int from, int to) {
    int result = 0;
    for (int x = from; x < to; ++x)
        for (int y = 0; y < image.height(); ++y)
            result = std::max(result, image.pixelColor(x, y).red());
    return result;
}
} // namespace

TEST(ThemeTest, KoreanTextHasGlyphsInTheApplicationFont) {
    // Without a font carrying Hangul every label renders as empty boxes while text checks still pass.
    const QFont font = Theme::font(12.5);
    EXPECT_TRUE(QFontMetrics(font).inFontUcs4(U'가')) << QFontInfo(font).family().toStdString();
}

TEST(ChipButtonTest, PlatesOutlinesAndDisabledStrength) {
    Stage stage;
    // enabled, pressed, strength of the plate
    const std::tuple<bool, bool, double> cases[] = {
        {true, false, 1.0}, {false, false, 0.35}, {false, true, 0.6}, {true, true, 0.6}};
    std::vector<ChipButton*> chips;
    for (const auto& [enabled, pressed, strength] : cases) {
        chips.push_back(stage.add(new ChipButton("출력", ChipStyle{true, Theme::inkSecondary(), 30})));
        chips.back()->setEnabled(enabled);
        chips.back()->setDown(pressed);
    }
    auto* plain = stage.add(new ChipButton("테두리", ChipStyle{false, Theme::inkSecondary(), 30}));
    auto* on = stage.add(new ChipButton("출력", ProminentChipStyle{Theme::active(), 30}));
    auto* off = stage.add(new ChipButton("출력", ProminentChipStyle{Theme::active(), 30}));
    off->setEnabled(false);
    auto* menu = stage.add(new ChipButton({}, ChipStyle{true, Theme::inkSecondary(), 26}));
    menu->setMenuLabel(MenuChipLabel{Symbol::printer, "SC-P900", QFont::DemiBold, Qt::ElideRight});
    stage.add(new ChipButton("연결", ProminentChipStyle{Theme::active(), 30}))->setBusy(true);
    stage.add(new Hairline);
    stage.add(new ToggleRow("가장자리 보정"))->setOn(true);
    TextStyle::sectionTitle(stage.add(new QLabel("출력 작업")));
    const QImage image = stage.show();
    WindowTest::saveArtifact(image, "controls");
    // The plate between the rounded corner and the label, at the chip's strength over the window colour.
    for (size_t i = 0; i < chips.size(); ++i)
        EXPECT_NEAR(
            coverage(Stage::at(image, chips[i], {5, 15}), Theme::base(), Theme::over(Theme::controlActive())),
            std::get<2>(cases[i]), 0.12)
            << "case " << i;
    // A filled chip's edge is its plate colour; a plain chip's edge is its outline and its inside is bare.
    EXPECT_LE(distance(Stage::at(image, chips[0], {0, 15}), Stage::at(image, chips[0], {5, 15})), 3);
    EXPECT_GT(distance(Stage::at(image, plain, {0, 15}), Theme::base()), 12);
    EXPECT_LE(distance(Stage::at(image, plain, {5, 15}), Theme::base()), 1);
    // A disabled prominent chip shows the control fill and its label in the dim ink, at full opacity.
    EXPECT_LE(distance(Stage::at(image, on, {5, 15}), Theme::active()), 2);
    const QColor control = Theme::over(Theme::control());
    EXPECT_LE(distance(Stage::at(image, off, {5, 15}), control), 2);
    const QImage offImage = image.copy(QRect(off->mapTo(&stage.widget, QPoint()), off->size()));
    EXPECT_NEAR(brightest(offImage, 0, offImage.width()), Theme::over(Theme::inkTertiary(), control).red(),
                6);
}

TEST(ProgressBarTest, FillIsClampedToTheTrack) {
    Stage stage;
    // value, filled at a quarter, at three quarters, at the end
    const std::tuple<double, bool, bool, bool> cases[] = {{-0.2, false, false, false},
                                                          {0.5, true, false, false},
                                                          {1.7, true, true, true},
                                                          {std::nan(""), false, false, false}};
    std::vector<ProgressBar*> bars;
    for (const auto& c : cases)
        bars.push_back(stage.add(new ProgressBar(std::get<0>(c), 8, Theme::good())));
    const QImage image = stage.show(210);
    for (size_t i = 0; i < bars.size(); ++i) {
        const int w = bars[i]->width();
        auto filled = [&](int x) { return distance(Stage::at(image, bars[i], {x, 4}), Theme::good()) <= 3; };
        const auto [value, quarter, threeQuarters, end] = cases[i];
        EXPECT_EQ(std::make_tuple(filled(w / 4), filled(w * 3 / 4), filled(w - 5)),
                  std::make_tuple(quarter, threeQuarters, end))
            << value;
        if (!quarter) {
            EXPECT_LE(distance(Stage::at(image, bars[i], {w / 4, 4}), Theme::over(Theme::control())), 2);
        }
    }
}

TEST(MenuChipLabelTest, StartsWithItsSymbolOrTextAndStaysOnOneLine) {
    auto paint = [](const MenuChipLabel& label) {
        QImage image(160, 24, QImage::Format_ARGB32_Premultiplied);
        image.fill(Theme::base());
        QPainter painter(&image);
        paintMenuChipLabel(painter, QRectF(0, 0, 160, 24), label);
        return image;
    };
    const QString longName = "아주 긴 이름의 프린터 SC-P900 Series 사진 전용 대기열 두 번째";
    const QImage bare = paint({std::nullopt, longName, QFont::Normal, Qt::ElideRight});
    // On the window colour the symbol is in the secondary ink, the text in full ink.
    EXPECT_GE(brightest(bare, 0, 8), 200);
    EXPECT_LE(brightest(paint({Symbol::printer, longName, QFont::Normal, Qt::ElideRight}), 0, 12),
              Theme::over(Theme::inkSecondary()).red() + 4);
    // One line: the elided text and the chevron fit the width, and the chevron is the last thing drawn.
    EXPECT_EQ(menuChipLabelSize({std::nullopt, longName}).height(),
              menuChipLabelSize({std::nullopt, "짧음"}).height());
    EXPECT_GT(brightest(bare, 150, 160), Theme::base().red() + 20);
    EXPECT_LE(brightest(bare, 150, 160), Theme::over(Theme::inkTertiary()).red() + 4);
}

TEST(ToggleRowTest, TellsOnlyTheUsersChanges) {
    ToggleRow row("흑점 보정");
    row.resize(200, 24);
    row.show();
    QSignalSpy spy(&row, &ToggleRow::toggled);
    row.setOn(true);
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
            for (int x = 0; x < 40; ++x)
                if (qAlpha(image.pixel(x, y)) >= 40)
                    (x >= 11 && x < 29 && y >= 11 && y < 29 ? inside : outside)++;
        EXPECT_GT(inside, 10) << "symbol " << s;
        EXPECT_EQ(outside, 0) << "symbol " << s;
    }
}
