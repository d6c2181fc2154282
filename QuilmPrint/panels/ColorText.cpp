#include "QuilmPrint/panels/ColorText.h"

#include "PrintKit/support/Text.h"

#include <algorithm>
#include <set>

namespace QuilmPrint::ColorText {

namespace {
QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
} // namespace

std::vector<PrintKit::ICCProfileInfo> otherProfiles(const std::vector<PrintKit::ICCProfileInfo>& profiles,
                                                    const std::vector<PrintKit::ProfileMatch>& suggestions) {
    std::set<std::string> suggested;
    for (const PrintKit::ProfileMatch& match : suggestions)
        suggested.insert(match.profile.path);
    std::vector<PrintKit::ICCProfileInfo> others;
    std::copy_if(profiles.begin(), profiles.end(), std::back_inserter(others),
                 [&](const PrintKit::ICCProfileInfo& info) { return !suggested.contains(info.path); });
    std::stable_sort(others.begin(), others.end(), [](const auto& a, const auto& b) {
        return PrintKit::Text::compareNames(a.description, b.description) < 0;
    });
    return others;
}

MenuEntries profileMenu(const std::vector<PrintKit::ProfileMatch>& suggestions,
                        const std::vector<PrintKit::ICCProfileInfo>& others) {
    MenuEntries entries;
    if (!suggestions.empty()) {
        entries.push_back(MenuEntry::section(QStringLiteral("이 용지에 추천")));
        for (const PrintKit::ProfileMatch& match : suggestions)
            entries.push_back(
                MenuEntry::item((match.sameModel ? QStringLiteral("● ") : QStringLiteral("○ ")) +
                                    text(match.profile.description),
                                text(match.profile.path)));
    }
    entries.push_back(MenuEntry::section(QStringLiteral("모든 프린터 프로파일")));
    for (const PrintKit::ICCProfileInfo& info : others)
        entries.push_back(MenuEntry::item(text(info.description), text(info.path)));
    return entries;
}

QString profileWarning(const std::vector<PrintKit::ProfileMatch>& suggestions,
                       const std::string& currentPath) {
    if (suggestions.empty())
        return QStringLiteral("이 용지에 맞는 프로파일을 찾지 못했습니다.");
    bool madeForIt =
        std::any_of(suggestions.begin(), suggestions.end(), [&](const PrintKit::ProfileMatch& match) {
            return match.sameModel && match.profile.path == currentPath;
        });
    return madeForIt ? QString() : QStringLiteral("고른 용지용 프로파일이 아닙니다.");
}

std::optional<PrintKit::ICCProfileInfo> profileFor(const QString& id,
                                                   const std::vector<PrintKit::ProfileMatch>& suggestions,
                                                   const std::vector<PrintKit::ICCProfileInfo>& profiles) {
    std::string path = id.toStdString();
    for (const PrintKit::ProfileMatch& match : suggestions)
        if (match.profile.path == path)
            return match.profile;
    for (const PrintKit::ICCProfileInfo& info : profiles)
        if (info.path == path)
            return info;
    return std::nullopt;
}

QString managementHelp(bool appManaged) {
    return appManaged ? QStringLiteral("앱이 용지 프로파일로 변환하고, 프린터의 색 조정은 끕니다.")
                      : QStringLiteral("sRGB로 보내고 프린터 드라이버가 색을 조정합니다.");
}

QString intentHelp(PrintKit::RenderingIntent intent) {
    return intent == PrintKit::RenderingIntent::perceptual
               ? QStringLiteral("종이가 못 내는 색을 전체 균형을 지키며 안으로 당김. 풍경·원색 많은 사진에.")
               : QStringLiteral("낼 수 있는 색은 그대로, 벗어난 색만 가까운 색으로. 색 정확도 우선일 때.");
}

} // namespace QuilmPrint::ColorText
