// The set-up sheet's rows: for every state of a found printer, a connected queue and a catalogue machine, the
// status line, its colour and the one control offered, and what using that control calls; and the words of
// the sheet that follow the user's region.
#include "PanelTestSupport.h"
#include "QuilmPrint/panels/MachineRow.h"
#include "QuilmPrint/panels/PrinterSetupSheet.h"
#include "QuilmPrint/panels/SetupRow.h"
#include "QuilmPrint/window/Controls.h"
#include "SetupTestSupport.h"

#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace QuilmPrint;
using PrintKit::SetupStatus;

namespace {

const PrintKit::EpsonDriver p900{"EPSON SC-P900 Series", "testbed-drivers:sc-p900"};
const QString reopenHelp = QStringLiteral("Epson 설치 화면을 닫았다면 다시 엽니다");

// What a row's control does when used, as a word.
struct Recorder {
    std::vector<std::string> calls;
    RowActions actions() {
        RowActions actions;
        actions.connect = [this] { calls.push_back("connect"); };
        actions.download = [this] { calls.push_back("download"); };
        actions.reopen = [this] { calls.push_back("reopen"); };
        actions.supportPage = [this] { calls.push_back("supportPage"); };
        actions.use = [this](const std::string& queue) { calls.push_back("use " + queue); };
        return actions;
    }
};

// The expected control: a button's text (empty: no button), prominence, enabled state and hover help, and
// the call that pressing it makes; or a bar with its value; or a spinner; or nothing.
struct Expected {
    QString button;
    bool prominent = false;
    bool enabled = true;
    QString help;
    std::string call;
    std::optional<double> bar;
    bool spinner = false;
};

Expected button(QString text, bool prominent, std::string call, QString help = {}) {
    Expected expected;
    expected.button = std::move(text);
    expected.prominent = prominent;
    expected.call = std::move(call);
    expected.help = std::move(help);
    return expected;
}

Expected disabled(QString text, bool prominent) {
    Expected expected = button(std::move(text), prominent, {});
    expected.enabled = false;
    return expected;
}

Expected bar(double value) {
    Expected expected;
    expected.bar = value;
    return expected;
}

Expected spinner() {
    Expected expected;
    expected.spinner = true;
    return expected;
}

// Checks that the trailing place of a row shows exactly the expected control, and presses its button.
void expectControl(RowControlView* view, const Expected& want, Recorder& recorder, const std::string& where) {
    SCOPED_TRACE(where);
    ChipButton* button = view->button();
    EXPECT_EQ(button->isVisibleTo(view), !want.button.isEmpty());
    EXPECT_EQ(view->progressBar()->isVisibleTo(view), want.bar.has_value());
    EXPECT_EQ(view->spinner()->isVisibleTo(view), want.spinner);
    EXPECT_EQ(view->isHidden(), want.button.isEmpty() && !want.bar && !want.spinner);
    if (want.bar) {
        EXPECT_DOUBLE_EQ(view->progressBar()->value(), *want.bar);
        EXPECT_EQ(view->progressBar()->width(), 80);
    }
    if (want.button.isEmpty())
        return;
    EXPECT_EQ(button->text(), want.button);
    EXPECT_EQ(button->isProminent(), want.prominent);
    EXPECT_EQ(button->isEnabled(), want.enabled);
    EXPECT_EQ(button->toolTip(), want.help);
    EXPECT_EQ(button->height(), 30);
    recorder.calls.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(recorder.calls,
              want.enabled ? std::vector<std::string>{want.call} : std::vector<std::string>{});
}

// The colour a symbol pixel shows: its colour over the row's plate over the window.
QColor onPlate(const QColor& colour) {
    return Theme::over(colour, Theme::over(Theme::panel()));
}

} // namespace

TEST(SetupRowTest, EachStateShowsItsLineAndItsOneControl) {
    struct Case {
        SetupRowValues values;
        QString text;
        QColor colour;
        Expected control;
    };
    const DriverInstall anyInstall = DriverInstall::downloading(0.5);
    const Case cases[] = {
        // The install state matters only while the printer needs a driver.
        {{"Studio", SetupStatus::connected("P900_Studio"), false, false, anyInstall},
         "연결 완료 · P900_Studio",
         Theme::good(),
         button("사용", false, "use P900_Studio")},
        {{"Studio", SetupStatus::connected("P900_Studio"), false, true, std::nullopt},
         "연결 완료 · P900_Studio",
         Theme::good(),
         disabled("사용 중", false)},
        {{"Studio", SetupStatus::canConnect(p900), false, false, DriverInstall::failed("x")},
         "Epson 드라이버 설치됨 · 연결 대기",
         Theme::inkSecondary(),
         button("연결", true, "connect")},
        {{"Studio", SetupStatus::canConnect(p900), true, false, std::nullopt},
         "Epson 드라이버 설치됨 · 연결 대기",
         Theme::inkSecondary(),
         disabled("연결", true)},
        {{"Studio", SetupStatus::needsDriver("EPSON SC-P900 Series"), false, false, std::nullopt},
         "Epson 드라이버 미설치 · 설치 버튼 → Epson 설치 화면 → 자동 연결",
         Theme::warn(),
         button("드라이버 설치", true, "download", installHelp())},
        {{"Studio", SetupStatus::needsDriver("EPSON SC-P900 Series"), false, false,
          DriverInstall::downloading(0.42)},
         "드라이버 받는 중 42%",
         Theme::warn(),
         bar(0.42)},
        {{"Studio", SetupStatus::needsDriver("EPSON SC-P900 Series"), false, false,
          DriverInstall::failed("설치 프로그램의 서명을 확인하지 못했습니다")},
         "설치 프로그램의 서명을 확인하지 못했습니다",
         Theme::warn(),
         button("다시 시도", true, "download", installHelp())},
        {{"Studio", SetupStatus::needsDriver("EPSON SC-P900 Series"), false, false,
          DriverInstall::failed("")},
         "",
         Theme::warn(),
         button("다시 시도", true, "download", installHelp())},
        {{"Studio", SetupStatus::needsDriver("EPSON SC-P900 Series"), false, false, DriverInstall::finding()},
         "Epson 서버에서 드라이버 찾는 중",
         Theme::warn(),
         spinner()},
        {{"Studio", SetupStatus::needsDriver("EPSON SC-P900 Series"), false, false,
          DriverInstall::installerOpen()},
         "Epson 설치 화면에서 계속 · 설치가 끝나면 자동으로 연결",
         Theme::warn(),
         button("설치 화면", false, "reopen", reopenHelp)},
        {{"Studio", SetupStatus::needsDriver("EPSON SC-P900 Series"), false, false,
          DriverInstall::noInstaller()},
         "Epson 서버에 이 기종 설치 파일 없음 · Epson 지원 페이지에서 받기",
         Theme::warn(),
         button("지원 페이지", false, "supportPage")},
    };
    Recorder recorder;
    SetupRow row;
    row.resize(460, 60);
    row.show();
    for (const Case& c : cases) {
        const std::string where = c.text.toStdString();
        row.set(c.values, recorder.actions());
        EXPECT_EQ(SetupRows::statusText(c.values), c.text) << where;
        EXPECT_EQ(row.titleLabel()->text(), "Studio");
        EXPECT_EQ(row.statusLabel()->text(), c.text) << where;
        EXPECT_EQ(row.statusLabel()->colour(), c.colour) << where;
        // The printer symbol takes the status colour: a point inside its body.
        const QImage image = PanelTest::grab(&row);
        const QPoint body = row.findChild<SymbolView*>()->mapTo(&row, QPoint(14, 9));
        EXPECT_LT(SetupTest::distance(image.pixelColor(body), onPlate(c.colour)), 40) << where;
        expectControl(row.controlView(), c.control, recorder, where);
    }
}

TEST(SetupRowTest, StatusStaysWithinTwoLinesWhateverTheMessage) {
    SetupRow row;
    const QString message = QStringLiteral("설치 프로그램을 열지 못했습니다: ").repeated(12);
    row.set({"Studio", SetupStatus::needsDriver("EPSON SC-P900 Series"), false, false,
             DriverInstall::failed(message)},
            {});
    row.resize(460, row.heightForWidth(460));
    row.show();
    PanelTest::grab(&row);
    const int line = QFontMetrics(row.statusLabel()->font()).lineSpacing();
    EXPECT_LE(row.statusLabel()->height(), 2 * line + 1);
    EXPECT_GE(row.statusLabel()->height(), 2 * line - 1);
    EXPECT_TRUE(row.controlView()->button()->isVisible()); // the long line does not push the control out
    EXPECT_LE(row.controlView()->geometry().right(), row.width() - 12);
}

TEST(MachineRowTest, EachStateShowsItsLineAndItsOneControl) {
    struct Case {
        MachineRowValues values;
        QString text;
        Expected control;
    };
    const Case cases[] = {
        // An install still recorded once the driver is there changes nothing.
        {{"EPSON SC-P900", true, DriverInstall::installerOpen()},
         "드라이버 설치 완료 · 프린터를 켜면 위에서 연결",
         Expected{}},
        {{"EPSON SC-P900", false, std::nullopt},
         "드라이버 미설치",
         button("드라이버 설치", false, "download", installHelp())},
        {{"EPSON SC-P900", false, DriverInstall::downloading(0.999)}, "드라이버 받는 중 99%", bar(0.999)},
        {{"EPSON SC-P900", false, DriverInstall::failed("연결이 끊겼습니다")},
         "연결이 끊겼습니다",
         button("다시 시도", false, "download", installHelp())},
        {{"EPSON SC-P900", false, DriverInstall::finding()}, "Epson 서버에서 드라이버 찾는 중", spinner()},
        {{"EPSON SC-P900", false, DriverInstall::installerOpen()},
         "Epson 설치 화면에서 계속",
         button("설치 화면", false, "reopen")},
        {{"EPSON SC-P900", false, DriverInstall::noInstaller()},
         "Epson 서버에 이 기종 설치 파일 없음 · Epson 지원 페이지에서 받기",
         button("지원 페이지", false, "supportPage")},
    };
    Recorder recorder;
    MachineRow row;
    row.resize(460, 56);
    row.show();
    for (const Case& c : cases) {
        const std::string where = c.text.toStdString();
        row.set(c.values, recorder.actions());
        EXPECT_EQ(row.nameLabel()->text(), "EPSON SC-P900");
        EXPECT_EQ(row.statusLabel()->text(), c.text) << where;
        EXPECT_EQ(row.statusLabel()->colour(), Theme::inkTertiary()) << where;
        // The check mark's disc is green; the download arrow's ring is grey and its centre line is not green.
        const QImage image = PanelTest::grab(&row);
        const QPoint centre = row.symbol()->mapTo(&row, row.symbol()->rect().center());
        const QPoint disc = centre + QPoint(-5, 3);
        EXPECT_EQ(SetupTest::distance(image.pixelColor(disc), onPlate(Theme::good())) < 40,
                  c.values.hasDriver)
            << where;
        expectControl(row.controlView(), c.control, recorder, where);
    }
}

TEST(SetupRowTest, DownloadPercentIsTheWholePercentReached) {
    const std::pair<double, QString> cases[] = {
        {0.0, "드라이버 받는 중 0%"},   {0.29, "드라이버 받는 중 29%"},
        {0.42, "드라이버 받는 중 42%"}, {0.999, "드라이버 받는 중 99%"},
        {1.0, "드라이버 받는 중 100%"}, {-0.2, "드라이버 받는 중 0%"},
        {1.7, "드라이버 받는 중 100%"}, {std::numeric_limits<double>::quiet_NaN(), "드라이버 받는 중 0%"},
    };
    for (const auto& [fraction, text] : cases) {
        EXPECT_EQ(downloadingText(fraction), text) << fraction;
        EXPECT_EQ(MachineRows::statusText({"M", false, DriverInstall::downloading(fraction)}), text)
            << fraction;
    }
}

TEST(SetupSheetWordsTest, MarketWordingFollowsTheRegion) {
    const QStringList northAmerica{"EPSON SureColor P900", "EPSON SureColor P700",
                                   "EPSON EcoTank Photo ET-8550", "EPSON EcoTank Photo ET-8500"};
    const QStringList elsewhere{"EPSON SC-P900", "EPSON SC-P700", "EPSON ET-8550", "EPSON ET-8500"};
    struct Case {
        const char* locale;
        std::optional<std::string> code;
        QString hint;
        bool supportNote;
        QStringList names;
    };
    const Case cases[] = {
        {"ja_JP", "JP", "日本 판매 이름", true, {}},
        {"en_US", "US", "United States 판매 이름", false, northAmerica},
        {"ko_KR", "KR", "대한민국 판매 이름", false, elsewhere},
        {"C", std::nullopt, "기본 판매 이름", false, elsewhere},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        const SetupSheet::Region region = SetupSheet::regionOf(QLocale(c.locale));
        EXPECT_EQ(region.code, c.code);
        EXPECT_EQ(SetupSheet::salesNameHint(region), c.hint);
        const SetupSheet::MachineListing listing = SetupSheet::machineListing(region.code);
        EXPECT_EQ(listing.supportNote, c.supportNote);
        EXPECT_EQ(QStringList(listing.names.begin(), listing.names.end()), c.names);
    }
}

TEST(SetupSheetWordsTest, AirPrintLinePointsToTheSameMachinesDriverQueue) {
    EXPECT_EQ(SetupSheet::airPrintLine("P900_AirPrint", "EPSON_SC-P900_Series"),
              "P900_AirPrint — 같은 프린터의 Epson 드라이버 연결(EPSON_SC-P900_Series)로 인쇄");
    EXPECT_EQ(SetupSheet::airPrintLine("P900_AirPrint", std::nullopt),
              "P900_AirPrint — Epson 드라이버 연결 없음. 프린터를 켜고 위에서 연결");
}
