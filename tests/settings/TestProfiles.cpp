#include "TestProfiles.h"

#include <lcms2.h>
#include <memory>
#include <stdexcept>

namespace TestProfiles {

std::string make(Kind kind, double version, const std::vector<Record>& description) {
    cmsHPROFILE profile;
    if (kind == Kind::cmykPrinter) {
        profile = cmsCreateProfilePlaceholder(nullptr);
        cmsSetColorSpace(profile, cmsSigCmykData);
        cmsSetPCS(profile, cmsSigLabData);
    } else {
        cmsCIExyY white;
        cmsWhitePointFromTemp(&white, 6504);
        const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
        cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
        cmsToneCurve* curves[3] = {gamma, gamma, gamma};
        profile = cmsCreateRGBProfile(&white, &primaries, curves);
        cmsFreeToneCurve(gamma);
    }
    std::unique_ptr<void, decltype(&cmsCloseProfile)> owner(profile, cmsCloseProfile);
    cmsSetDeviceClass(profile, kind == Kind::rgbDisplay ? cmsSigDisplayClass : cmsSigOutputClass);
    cmsSetProfileVersion(profile, version);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, nullptr); // drop any built-in text
    if (!description.empty()) {
        std::unique_ptr<cmsMLU, decltype(&cmsMLUfree)> text(cmsMLUalloc(nullptr, 2), cmsMLUfree);
        for (const auto& record : description) {
            cmsMLUsetWide(text.get(), record.language, record.country, record.text.c_str());
        }
        cmsWriteTag(profile, cmsSigProfileDescriptionTag, text.get());
    }
    cmsUInt32Number size = 0;
    std::string bytes;
    if (cmsSaveProfileToMem(profile, nullptr, &size)) {
        bytes.resize(size);
    }
    if (bytes.empty() || !cmsSaveProfileToMem(profile, bytes.data(), &size)) {
        throw std::runtime_error("Little CMS cannot write the profile");
    }
    return bytes;
}

std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string handMade(const std::vector<Tag>& tags, std::uint32_t version,
                     std::optional<std::uint32_t> count) {
    std::string bytes(128, '\0');
    bytes.replace(8, 16, be32(version) + "prtrRGB XYZ ");
    bytes.replace(36, 4, "acsp");
    bytes += be32(count.value_or(static_cast<std::uint32_t>(tags.size())));
    std::string data;
    const std::size_t dataStart = 132 + 12 * tags.size();
    for (const auto& tag : tags) {
        bytes += tag.signature +
                 be32(tag.offset.value_or(static_cast<std::uint32_t>(dataStart + data.size()))) +
                 be32(tag.size.value_or(static_cast<std::uint32_t>(tag.data.size())));
        data += tag.data + std::string((4 - tag.data.size() % 4) % 4, '\0');
    }
    return bytes + data;
}

std::string textDescription(const std::string& bytes, std::uint32_t count) {
    return "desc" + be32(0) + be32(count) + bytes;
}

std::string multiLocalized(const std::vector<std::pair<std::string, std::string>>& records) {
    std::string head = "mluc" + be32(0) + be32(static_cast<std::uint32_t>(records.size())) + be32(12);
    std::string strings;
    for (const auto& [locale, text] : records) {
        const std::size_t at = 16 + 12 * records.size() + strings.size();
        head += locale + be32(static_cast<std::uint32_t>(text.size())) + be32(static_cast<std::uint32_t>(at));
        strings += text;
    }
    return head + strings;
}

std::string utf16(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    }
    return bytes;
}

} // namespace TestProfiles
