#include "QuilmPrint/panels/PaperText.h"

#include "PrintKit/settings/EpsonInkjet2Adapter.h"
#include "PrintKit/support/Numbers.h"

#include <QLocale>
#include <algorithm>
#include <memory>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/simpletz.h>
#include <unicode/unistr.h>

namespace QuilmPrint::PaperText {

namespace {
const std::optional<std::string> korean{"ko"};

QString mm(double points, int decimals) {
    return QString::fromStdString(PrintKit::Numbers::fixed(points * 25.4 / 72, decimals));
}
} // namespace

const PrintKit::PPDFile* selectedPPD(const std::vector<PrinterChoice>& printers,
                                     const std::optional<std::string>& printerID) {
    if (!printerID)
        return nullptr;
    for (const PrinterChoice& printer : printers)
        if (printer.queue.name == *printerID)
            return printer.ppd ? &*printer.ppd : nullptr;
    return nullptr;
}

QString label(const PrintKit::PPDOption& option) {
    return QString::fromStdString(PrintKit::label(option, korean));
}
QString label(const PrintKit::PPDChoice& choice) {
    return QString::fromStdString(PrintKit::label(choice, korean));
}

std::vector<PrintKit::PPDChoice> withoutDiscs(std::vector<PrintKit::PPDChoice> choices) {
    std::erase_if(choices, [](const PrintKit::PPDChoice& choice) {
        return choice.label.find("Disc") != std::string::npos || choice.label.find("CD") != std::string::npos;
    });
    return choices;
}

std::vector<PrintKit::PPDChoice> mediaChoices(const PrintKit::PPDFile& ppd) {
    const PrintKit::PPDOption* media = ppd.option("EPIJ_Medi");
    return media ? withoutDiscs(media->choices) : std::vector<PrintKit::PPDChoice>{};
}

std::vector<PrintKit::PPDChoice> sourceChoices(const PrintKit::PaperRecipe& recipe,
                                               const PrintKit::PPDFile& ppd) {
    return withoutDiscs(PrintKit::EpsonInkjet2Adapter::sources(recipe, ppd));
}

QString choiceTitle(const PrintKit::PPDFile& ppd, std::string_view keyword, const std::string& key) {
    if (const PrintKit::PPDOption* option = ppd.option(keyword))
        if (const PrintKit::PPDChoice* choice = option->choice(key))
            return label(*choice);
    return QString::fromStdString(key);
}

QString shortDateTime(const QDateTime& time, const QLocale& locale) {
    // The C locale states no preference: the window's own language then decides.
    const QString name = locale.language() == QLocale::C ? QStringLiteral("ko_KR") : locale.name();
    // Made once per locale: the caption is worked out again on every keystroke in the recipe name.
    static QString formatterLocale;
    static std::unique_ptr<icu::DateFormat> formatter;
    if (!formatter || formatterLocale != name) {
        formatter.reset(icu::DateFormat::createDateTimeInstance(
            icu::DateFormat::kMedium, icu::DateFormat::kShort, icu::Locale(name.toUtf8().constData())));
        formatterLocale = name;
    }
    if (!formatter)
        return time.toString(Qt::ISODate);
    // The wall clock that Qt reads for this moment, whatever time zone database ICU would consult.
    formatter->adoptTimeZone(
        new icu::SimpleTimeZone(time.offsetFromUtc() * 1000, icu::UnicodeString(u"local")));
    icu::UnicodeString text;
    formatter->format(static_cast<UDate>(time.toMSecsSinceEpoch()), text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

QString savedCaption(bool saved, std::int64_t version, const QDateTime& updatedAt, const QLocale& locale) {
    if (!saved)
        return QStringLiteral("저장하면 다음에도 똑같은 설정으로 인쇄됩니다.");
    return QString::number(version) + QStringLiteral("번째 저장 · ") + shortDateTime(updatedAt, locale);
}

QString sheetTitle(const PrintKit::PaperRecipe& recipe, const PrintKit::PPDFile& ppd) {
    if (recipe.customSheet)
        return QStringLiteral("사용자 지정 ") + mm(recipe.customSheet->width, 1) + "×" +
               mm(recipe.customSheet->height, 1) + "mm";
    return choiceTitle(ppd, "PageSize", recipe.sheet);
}

QString savedPaperTitle(const SavedCustomPaper& paper) {
    return paper.name + " — " + mm(paper.size.width, 1) + "×" + mm(paper.size.height, 1) + "mm";
}

MenuEntries sheetMenu(const std::vector<PrintKit::PPDChoice>& sheets, bool takesCustomSizes,
                      const std::vector<SavedCustomPaper>& savedPapers) {
    MenuEntries entries;
    for (const PrintKit::PPDChoice& sheet : sheets)
        entries.push_back(MenuEntry::item(label(sheet), "sheet:" + QString::fromStdString(sheet.key)));
    if (!takesCustomSizes)
        return entries;
    entries.push_back(MenuEntry::divider());
    // The system keeps no list of its own custom sizes on every platform; the heading shows only with some.
    if (!savedPapers.empty()) {
        entries.push_back(MenuEntry::section(QStringLiteral("시스템에 만들어 둔 크기")));
        for (std::size_t index = 0; index < savedPapers.size(); ++index)
            entries.push_back(
                MenuEntry::item(savedPaperTitle(savedPapers[index]), "paper:" + QString::number(index)));
    }
    entries.push_back(MenuEntry::item(QStringLiteral("사용자 지정…"), QStringLiteral("custom")));
    return entries;
}

bool isPortrait(const PrintKit::CustomSheetSize& size) {
    return size.width <= size.height;
}

PrintKit::CustomSheetSize oriented(const PrintKit::CustomSheetSize& size, bool portrait) {
    double shorter = std::min(size.width, size.height);
    double longer = std::max(size.width, size.height);
    return portrait ? PrintKit::CustomSheetSize{shorter, longer} : PrintKit::CustomSheetSize{longer, shorter};
}

PrintKit::CustomSheetSize withWidthMM(const PrintKit::CustomSheetSize& size, double widthMM) {
    return {widthMM * 72.0 / 25.4, size.height};
}

PrintKit::CustomSheetSize withHeightMM(const PrintKit::CustomSheetSize& size, double heightMM) {
    return {size.width, heightMM * 72.0 / 25.4};
}

QString customRangeCaption(const PrintKit::PPDCustomSizeRange& range) {
    return QStringLiteral(
               "앞 칸이 폭입니다. 폭은 프린터에 넣는 쪽 가장자리의 길이라, 넣을 종이의 폭과 같아야 합니다. "
               "이 프린터는 폭 ") +
           mm(range.minWidth, 1) + "–" + mm(range.maxWidth, 1) + QStringLiteral("mm, 길이 ") +
           mm(range.minHeight, 0) + "–" + mm(range.maxHeight, 0) +
           QStringLiteral("mm까지 받고, 여백 없음·롤지는 쓸 수 없습니다.");
}

QString bleedCaption(bool pending, bool on) {
    if (pending)
        return QStringLiteral("이 용지의 확대 비율 재는 중…");
    if (on)
        return QStringLiteral("사진은 종이 크기에 맞춤. 종이 밖으로 나가는 띠는 사진 끝을 늘려 채움.");
    return QStringLiteral("여백 없음은 종이보다 크게 인쇄해 가장자리 몇 mm가 잘림. 켜면 안 잘림.");
}

QualityDetails qualityDetails(PrintKit::PrintQuality quality, bool presetDetailsKnown, bool hasOverrides) {
    if (quality == PrintKit::PrintQuality::custom)
        return {true, QStringLiteral("드라이버 옵션 그대로. 바꾼 항목만 레시피에 저장."), hasOverrides};
    if (!presetDetailsKnown)
        return {false, QStringLiteral("Epson 공식 설정. 이 용지는 세부값 미공개 · 바꾸려면 직접 지정."),
                false};
    return {true, QStringLiteral("Epson 공식 설정값. 하나라도 바꾸면 직접 지정으로."), false};
}

std::optional<DetailSwitch> detailSwitch(const PrintKit::PPDOption& option) {
    if (option.choices.size() != 2)
        return std::nullopt;
    bool firstOff = option.choices[0].label == "Off";
    bool secondOff = option.choices[1].label == "Off";
    if (firstOff == secondOff)
        return std::nullopt;
    const PrintKit::PPDChoice& on = firstOff ? option.choices[1] : option.choices[0];
    const PrintKit::PPDChoice& off = firstOff ? option.choices[0] : option.choices[1];
    return DetailSwitch{on.key, off.key};
}

QString detailTitle(const PrintKit::PPDOption& option, const std::optional<std::string>& value) {
    if (value)
        if (const PrintKit::PPDChoice* choice = option.choice(*value))
            return label(*choice);
    return QStringLiteral("-");
}

} // namespace QuilmPrint::PaperText
