// The set-up sheet's rows: for every state of a found printer, a connected queue and a catalogue machine, the
// status line, its colour and the one control offered; and the words of the sheet that follow the region.
#include "PanelTestSupport.h"
#include "QuilmPrint/panels/MachineRow.h"
#include "QuilmPrint/panels/PrinterSetupSheet.h"
#include "QuilmPrint/panels/SetupRow.h"
#include "QuilmPrint/shared/Controls.h"
#include "SetupTestSupport.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>

using namespace QuilmPrint;
using PrintKit::SetupStatus;
using Kind = RowControl::Kind;

namespace {

const PrintKit::EpsonDriver p900{"EPSON SC-P900 Series", "testbed-drivers:sc-p900"};
const QString reopenHelp = QStringLiteral("Epson 설치 화면을 닫았다면 다시 엽니다");

SetupRowValues needs(std::optional<DriverInstall> install) {
    return {"Studio", SetupStatus::needsDriver("EPSON SC-P900 Series"), false, false, std::move(install)};
}

RowControl off(RowControl control, bool busy = false) {
    control.enabled = false;
    control.busy = busy;
    return control;
}

RowControl button(const char* text, RowAction action, bool prominent = false, const QString& help = {}) {
    return RowControl::button(text, action, prominent, help);
}

// The trailing place shows exactly `want`, and pressing its button (only when enabled) reports the action.
void expectShown(RowControlView* view, const RowControl& want, const QString& where) {
    SCOPED_TRACE(where.toStdString());
    EXPECT_EQ(view->control(), want);
    EXPECT_EQ(view->isHidden(), want.kind == Kind::nothing);
    EXPECT_EQ(view->button()->isVisibleTo(view), want.kind == Kind::button);
    EXPECT_EQ(view->progressBar()->isVisibleTo(view), want.kind == Kind::progress);
    EXPECT_EQ(view->spinner()->isVisibleTo(view), want.kind == Kind::spinner);
    if (want.kind == Kind::progress) {
        EXPECT_DOUBLE_EQ(view->progressBar()->value(), want.progress);
        EXPECT_EQ(view->progressBar()->width(), 80);
    }
    if (want.kind != Kind::button)
        return;
    ChipButton* button = view->button();
    EXPECT_EQ(button->text(), want.text);
    EXPECT_EQ(button->isProminent(), want.prominent);
    EXPECT_EQ(button->isEnabled(), want.enabled);
    EXPECT_EQ(button->isBusy(), want.busy);
    EXPECT_EQ(button->toolTip(), want.help);
    EXPECT_EQ(button->height(), 30);
    QSignalSpy pressed(view, &RowControlView::triggered);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(pressed.size(), want.enabled ? 1 : 0);
    if (want.enabled) {
        EXPECT_EQ(pressed.front().front().value<RowAction>(), want.action);
    }
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
        RowControl control;
    };
    const SetupStatus studio = SetupStatus::connected("P900_Studio");
    const Case cases[] = {
        // The install state matters only while the printer needs a driver.
        {{"Studio", studio, false, false, DriverInstall::downloading(0.5)},
         "연결 완료 · P900_Studio",
         Theme::good(),
         button("사용", RowAction::use)},
        {{"Studio", studio, false, true, std::nullopt},
         "연결 완료 · P900_Studio",
         Theme::good(),
         off(button("사용 중", RowAction::use))},
        {{"Studio", SetupStatus::canConnect(p900), false, false, DriverInstall::failed("x")},
         "Epson 드라이버 설치됨 · 연결 대기",
         Theme::inkSecondary(),
         button("연결", RowAction::connect, true)},
        {{"Studio", SetupStatus::canConnect(p900), true, false, std::nullopt},
         "Epson 드라이버 설치됨 · 연결 대기",
         Theme::inkSecondary(),
         off(button("연결", RowAction::connect, true), true)},
        {needs(std::nullopt), "Epson 드라이버 미설치 · 설치 버튼 → Epson 설치 화면 → 자동 연결",
         Theme::warn(), button("드라이버 설치", RowAction::download, true, installHelp())},
        {needs(DriverInstall::downloading(0.42)), "드라이버 받는 중 42%", Theme::warn(),
         RowControl::bar(0.42)},
        {needs(DriverInstall::failed("서명을 확인하지 못했습니다")), "서명을 확인하지 못했습니다",
         Theme::warn(), button("다시 시도", RowAction::download, true, installHelp())},
        {needs(DriverInstall::failed("")), "", Theme::warn(),
         button("다시 시도", RowAction::download, true, installHelp())},
        {needs(DriverInstall::finding()), "Epson 서버에서 드라이버 찾는 중", Theme::warn(),
         RowControl::spinning()},
        {needs(DriverInstall::installerOpen()), "Epson 설치 화면에서 계속 · 설치가 끝나면 자동으로 연결",
         Theme::warn(), button("설치 화면", RowAction::reopen, false, reopenHelp)},
        {needs(DriverInstall::noInstaller()),
         "Epson 서버에 이 기종 설치 파일 없음 · Epson 지원 페이지에서 받기", Theme::warn(),
         button("지원 페이지", RowAction::supportPage)},
    };
    SetupRow row;
    row.resize(460, 60);
    row.show();
    for (const Case& c : cases) {
        row.set(c.values, {});
        EXPECT_EQ(row.titleLabel()->text(), "Studio");
        EXPECT_EQ(row.statusLabel()->text(), c.text);
        EXPECT_EQ(row.statusLabel()->colour(), c.colour) << c.text.toStdString();
        // The printer symbol takes the status colour: a point inside its body.
        const QImage image = PanelTest::grab(&row);
        const QPoint body = row.findChild<SymbolView*>()->mapTo(&row, QPoint(14, 9));
        EXPECT_LT(SetupTest::distance(image.pixelColor(body), onPlate(c.colour)), 40) << c.text.toStdString();
        expectShown(row.controlView(), c.control, c.text);
    }

    // A long message stays within two lines and does not push the control out.
    row.set(needs(DriverInstall::failed(QStringLiteral("설치 프로그램을 열지 못했습니다: ").repeated(12))),
            {});
    row.resize(460, row.heightForWidth(460));
    PanelTest::grab(&row);
    const int line = QFontMetrics(row.statusLabel()->font()).lineSpacing();
    EXPECT_NEAR(row.statusLabel()->height(), 2 * line, 1);
    EXPECT_LE(row.controlView()->geometry().right(), row.width() - 12);
}

TEST(MachineRowTest, EachStateShowsItsLineAndItsOneControl) {
    struct Case {
        MachineRowValues values;
        QString text;
        RowControl control;
    };
    const Case cases[] = {
        // An install still recorded once the driver is there changes nothing.
        {{"EPSON SC-P900", true, DriverInstall::installerOpen()},
         "드라이버 설치 완료 · 프린터를 켜면 위에서 연결",
         {}},
        {{"EPSON SC-P900", false, std::nullopt},
         "드라이버 미설치",
         button("드라이버 설치", RowAction::download, false, installHelp())},
        {{"EPSON SC-P900", false, DriverInstall::downloading(0.999)},
         "드라이버 받는 중 99%",
         RowControl::bar(0.999)},
        {{"EPSON SC-P900", false, DriverInstall::failed("연결이 끊겼습니다")},
         "연결이 끊겼습니다",
         button("다시 시도", RowAction::download, false, installHelp())},
        {{"EPSON SC-P900", false, DriverInstall::finding()},
         "Epson 서버에서 드라이버 찾는 중",
         RowControl::spinning()},
        {{"EPSON SC-P900", false, DriverInstall::installerOpen()},
         "Epson 설치 화면에서 계속",
         button("설치 화면", RowAction::reopen)},
        {{"EPSON SC-P900", false, DriverInstall::noInstaller()},
         "Epson 서버에 이 기종 설치 파일 없음 · Epson 지원 페이지에서 받기",
         button("지원 페이지", RowAction::supportPage)},
    };
    MachineRow row;
    row.resize(460, 56);
    row.show();
    for (const Case& c : cases) {
        row.set(c.values, {});
        EXPECT_EQ(row.nameLabel()->text(), "EPSON SC-P900");
        EXPECT_EQ(row.statusLabel()->text(), c.text);
        EXPECT_EQ(row.statusLabel()->colour(), Theme::inkTertiary()) << c.text.toStdString();
        // Inside the check mark's disc it is green; there the download arrow's circle has nothing.
        const QImage image = PanelTest::grab(&row);
        const QPoint disc = row.symbol()->mapTo(&row, row.symbol()->rect().center() + QPoint(-5, 3));
        const bool green = SetupTest::distance(image.pixelColor(disc), onPlate(Theme::good())) < 40;
        EXPECT_EQ(green, c.values.hasDriver) << c.text.toStdString();
        expectShown(row.controlView(), c.control, c.text);
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
