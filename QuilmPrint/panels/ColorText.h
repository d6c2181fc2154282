// What the inspector's colour section shows: the profile menu (the profiles suggested for the paper first,
// then every other profile of the printer in the order a file browser sorts names), the warning under it, and
// the help lines.
#pragma once

#include "PrintKit/settings/ICCProfileInfo.h"
#include "PrintKit/settings/ProfileMatch.h"
#include "PrintKit/settings/RenderingIntent.h"
#include "QuilmPrint/panels/MenuEntry.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace QuilmPrint::ColorText {

// The printer's profiles that are not suggested, sorted by description (digits by value); equal descriptions
// keep the printer's order.
std::vector<PrintKit::ICCProfileInfo> otherProfiles(const std::vector<PrintKit::ICCProfileInfo>& profiles,
                                                    const std::vector<PrintKit::ProfileMatch>& suggestions);

// The menu: "이 용지에 추천" with the suggestions ("● " made for this printer model, "○ " not), only when
// there are some, then always "모든 프린터 프로파일" with the others. Item ids are the profiles' paths.
MenuEntries profileMenu(const std::vector<PrintKit::ProfileMatch>& suggestions,
                        const std::vector<PrintKit::ICCProfileInfo>& others);

// The warning under the profile row for the recipe's current profile; empty for none.
QString profileWarning(const std::vector<PrintKit::ProfileMatch>& suggestions,
                       const std::string& currentPath);

// The profile a menu id names: a suggestion's first, else one of the printer's.
std::optional<PrintKit::ICCProfileInfo> profileFor(const QString& id,
                                                   const std::vector<PrintKit::ProfileMatch>& suggestions,
                                                   const std::vector<PrintKit::ICCProfileInfo>& profiles);

QString managementHelp(bool appManaged);
QString intentHelp(PrintKit::RenderingIntent intent);
inline constexpr const char* blackPointHelp =
    "사진의 검정을 종이가 낼 수 있는 가장 짙은 검정에 맞춤. 끄면 어두운 부분이 한 덩어리로 뭉개짐.";

} // namespace QuilmPrint::ColorText
