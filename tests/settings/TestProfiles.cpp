#include "TestProfiles.h"

#include <lcms2.h>
#include <memory>
#include <stdexcept>

namespace TestProfiles {

namespace {

using Profile = std::unique_ptr<void, decltype(&cmsCloseProfile)>;

Profile create(Kind kind) {
    if (kind == Kind::cmykPrinter) {
        Profile profile(cmsCreateProfilePlaceholder(nullptr), cmsCloseProfile);
        cmsSetDeviceClass(profile.get(), cmsSigOutputClass);
        cmsSetColorSpace(profile.get(), cmsSigCmykData);
        cmsSetPCS(profile.get(), cmsSigLabData);
        return profile;
    }
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    std::unique_ptr<cmsToneCurve, decltype(&cmsFreeToneCurve)> gamma(cmsBuildGamma(nullptr, 2.2),
                                                                     cmsFreeToneCurve);
    cmsToneCurve* curves[3] = {gamma.get(), gamma.get(), gamma.get()};
    Profile profile(cmsCreateRGBProfile(&white, &primaries, curves), cmsCloseProfile);
    if (!profile) {
        throw std::runtime_error("Little CMS made no RGB profile");
    }
    cmsSetDeviceClass(profile.get(), kind == Kind::rgbPrinter ? cmsSigOutputClass : cmsSigDisplayClass);
    return profile;
}

std::string padded(std::string data) {
    data.resize((data.size() + 3) / 4 * 4, '\0');
    return data;
}

} // namespace

std::string make(Kind kind, double version, const std::vector<Text>& descriptions) {
    Profile profile = create(kind);
    cmsSetProfileVersion(profile.get(), version);
    cmsWriteTag(profile.get(), cmsSigProfileDescriptionTag, nullptr); // drop the built-in text
    if (!descriptions.empty()) {
        std::unique_ptr<cmsMLU, decltype(&cmsMLUfree)> text(cmsMLUalloc(nullptr, 2), cmsMLUfree);
        for (const auto& record : descriptions) {
            cmsMLUsetWide(text.get(), record.language.c_str(), record.country.c_str(), record.text.c_str());
        }
        if (!cmsWriteTag(profile.get(), cmsSigProfileDescriptionTag, text.get())) {
            throw std::runtime_error("Little CMS wrote no description");
        }
    }
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile.get(), nullptr, &size)) {
        throw std::runtime_error("Little CMS cannot size the profile");
    }
    std::string bytes(size, '\0');
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) {
        throw std::runtime_error("Little CMS cannot write the profile");
    }
    bytes.resize(size);
    return bytes;
}

std::string make(Kind kind, double version, const std::wstring& description) {
    return make(kind, version, std::vector<Text>{{"en", "US", description}});
}

std::string bigEndian32(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

std::string handMade(const std::vector<Tag>& tags, const std::string& deviceClass,
                     const std::string& colorSpace, std::uint32_t version,
                     std::optional<std::uint32_t> count) {
    std::string header(128, '\0');
    header.replace(8, 4, bigEndian32(version));
    header.replace(12, 4, deviceClass);
    header.replace(16, 4, colorSpace);
    header.replace(20, 4, "XYZ ");
    header.replace(36, 4, "acsp");
    std::string table = bigEndian32(count.value_or(static_cast<std::uint32_t>(tags.size())));
    std::string data;
    const std::size_t dataStart = 128 + 4 + 12 * tags.size();
    for (const auto& tag : tags) {
        const auto offset = static_cast<std::uint32_t>(dataStart + data.size());
        table += tag.signature + bigEndian32(tag.offset.value_or(offset)) +
                 bigEndian32(tag.size.value_or(static_cast<std::uint32_t>(tag.data.size())));
        data += padded(tag.data);
    }
    std::string bytes = header + table + data;
    bytes.replace(0, 4, bigEndian32(static_cast<std::uint32_t>(bytes.size())));
    return bytes;
}

std::string textDescription(const std::string& bytes, std::uint32_t count) {
    return "desc" + std::string(4, '\0') + bigEndian32(count) + bytes;
}

std::string multiLocalized(const std::vector<std::pair<std::string, std::string>>& records) {
    std::string head = "mluc" + std::string(4, '\0') +
                       bigEndian32(static_cast<std::uint32_t>(records.size())) + bigEndian32(12);
    std::string strings;
    const std::size_t stringsStart = 16 + 12 * records.size();
    for (const auto& [locale, text] : records) {
        head += locale + bigEndian32(static_cast<std::uint32_t>(text.size())) +
                bigEndian32(static_cast<std::uint32_t>(stringsStart + strings.size()));
        strings += text;
    }
    return head + strings;
}

} // namespace TestProfiles
