#include "PrintKit/settings/ProfileMatcher.h"

#include <algorithm>
#include <memory>
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace PrintKit::ProfileMatcher {

namespace {

// The fixed words that never tell one paper from another.
const std::vector<std::string> ignoredWords{"series", "icc", "icm"};

// One word, with what the rules need to know of each of its user-perceived characters.
struct Word {
    std::string text;
    std::vector<std::string> pieces; // the characters, in UTF-8
    std::vector<bool> letter;
    std::vector<bool> number;

    std::size_t length() const { return letter.size(); }
    bool hasNumber() const { return std::find(number.begin(), number.end(), true) != number.end(); }
    bool allNumbers() const { return std::find(number.begin(), number.end(), false) == number.end(); }
};

icu::UnicodeString fromUtf8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

// Splits into user-perceived characters (extended grapheme clusters); ICU's iterators are not shareable
// between threads, so each thread keeps one.
std::vector<icu::UnicodeString> characters(const icu::UnicodeString& text) {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    std::vector<icu::UnicodeString> out;
    if (!iterator) { // without break data every code point stands alone
        for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
            out.emplace_back(text, i, text.moveIndex32(i, 1) - i);
        }
        return out;
    }
    iterator->setText(text);
    for (int32_t start = iterator->first(), end = iterator->next(); end != icu::BreakIterator::DONE;
         start = end, end = iterator->next()) {
        out.emplace_back(text, start, end - start);
    }
    return out;
}

bool isSingleScalar(const icu::UnicodeString& character) {
    return character.countChar32() == 1;
}

icu::UnicodeString lowered(icu::UnicodeString text) {
    return text.toLower(icu::Locale::getRoot());
}
icu::UnicodeString uppered(icu::UnicodeString text) {
    return text.toUpper(icu::Locale::getRoot());
}

bool isLowercase(const icu::UnicodeString& character) {
    if (isSingleScalar(character) && u_hasBinaryProperty(character.char32At(0), UCHAR_LOWERCASE)) {
        return true;
    }
    return lowered(character) == character && uppered(character) != character;
}

bool isUppercase(const icu::UnicodeString& character) {
    if (isSingleScalar(character) && u_hasBinaryProperty(character.char32At(0), UCHAR_UPPERCASE)) {
        return true;
    }
    return uppered(character) == character && lowered(character) != character;
}

bool isLetter(const icu::UnicodeString& character) {
    return u_hasBinaryProperty(character.char32At(0), UCHAR_ALPHABETIC);
}

bool isNumber(const icu::UnicodeString& character) {
    return u_getIntPropertyValue(character.char32At(0), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

std::vector<Word> splitWords(std::string_view text) {
    // Camel case first, on the text as written: a blank before an upper-case character that follows a
    // lower-case one.
    icu::UnicodeString split;
    bool previousLower = false;
    for (const auto& character : characters(fromUtf8(text))) {
        const bool lower = isLowercase(character);
        if (previousLower && isUppercase(character)) {
            split.append(static_cast<UChar>(' '));
        }
        split.append(character);
        previousLower = lower;
    }
    std::vector<Word> out;
    Word current;
    auto flush = [&] {
        if (current.length() > 0) {
            out.push_back(std::move(current));
            current = Word{};
        }
    };
    for (const auto& character : characters(lowered(split))) {
        const bool letter = isLetter(character);
        const bool number = isNumber(character);
        if (!letter && !number) {
            flush();
            continue;
        }
        std::string piece;
        character.toUTF8String(piece);
        current.text += piece;
        current.pieces.push_back(std::move(piece));
        current.letter.push_back(letter);
        current.number.push_back(number);
    }
    flush();
    return out;
}

WordSet modelWordsOf(const std::vector<Word>& list) {
    WordSet out;
    for (const auto& word : list) {
        if (word.hasNumber()) {
            out.insert(word.text);
        }
    }
    for (std::size_t i = 0; i + 1 < list.size(); ++i) {
        const Word& a = list[i];
        const Word& b = list[i + 1];
        if (!b.allNumbers()) {
            continue;
        }
        std::size_t letters = 0;
        while (letters < a.length() && a.letter[letters]) {
            ++letters;
        }
        if (letters == 0 || letters == a.length() || a.length() - letters != b.length()) {
            continue;
        }
        if (!std::all_of(a.number.begin() + static_cast<std::ptrdiff_t>(letters), a.number.end(),
                         [](bool n) { return n; })) {
            continue;
        }
        std::string joined;
        for (std::size_t k = 0; k < letters; ++k) {
            joined += a.pieces[k];
        }
        out.insert(joined + b.text);
    }
    return out;
}

WordSet paperWordsOf(const std::vector<Word>& list, const WordSet& ignoring) {
    WordSet out;
    for (const auto& word : list) {
        if (word.length() >= 3 && !word.hasNumber() && !ignoring.contains(word.text)) {
            out.insert(word.text);
        }
    }
    return out;
}

double coverage(const WordSet& paper, const WordSet& media) {
    if (paper.empty()) {
        return 0;
    }
    std::size_t common = 0;
    for (const auto& word : media) {
        common += paper.contains(word) ? 1 : 0;
    }
    const std::size_t either = paper.size() + media.size() - common;
    const double jaccard = static_cast<double>(common) / static_cast<double>(either);
    // A name that holds every word of the paper is a good candidate however many words it adds.
    return common == media.size() ? std::max(jaccard, 0.75) : jaccard;
}

} // namespace

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    for (auto& word : splitWords(text)) {
        out.push_back(std::move(word.text));
    }
    return out;
}

WordSet paperWords(std::string_view text, const WordSet& ignoring) {
    return paperWordsOf(splitWords(text), ignoring);
}

WordSet modelWords(std::string_view text) {
    return modelWordsOf(splitWords(text));
}

std::vector<ProfileMatch> matches(std::string_view mediaLabel, const PPDFile& ppd,
                                  const std::vector<ICCProfileInfo>& profiles, double minimumScore) {
    WordSet makerWords;
    for (auto& word : words(ppd.manufacturer)) {
        makerWords.insert(std::move(word));
    }
    WordSet ignored = makerWords;
    ignored.insert(ignoredWords.begin(), ignoredWords.end());
    const WordSet printerModel = modelWords(ppd.modelName.empty() ? ppd.nickName : ppd.modelName);
    const WordSet media = paperWords(mediaLabel, ignored);
    if (media.empty()) {
        return {};
    }

    std::vector<ProfileMatch> found;
    for (const auto& profile : profiles) {
        const std::vector<Word> texts[2] = {splitWords(profile.fileStem()), splitWords(profile.description)};
        const double score = std::max(coverage(paperWordsOf(texts[0], ignored), media),
                                      coverage(paperWordsOf(texts[1], ignored), media));
        if (score < minimumScore) {
            continue;
        }
        const WordSet models[2] = {modelWordsOf(texts[0]), modelWordsOf(texts[1])};
        const bool sameModel =
            !printerModel.empty() &&
            std::all_of(printerModel.begin(), printerModel.end(),
                        [&](const std::string& w) { return models[0].contains(w) || models[1].contains(w); });
        auto namesMaker = [&](const std::vector<Word>& list) {
            return std::any_of(list.begin(), list.end(),
                               [&](const Word& w) { return makerWords.contains(w.text); });
        };
        // The maker's name with a model that is not this printer: a profile for another printer.
        if (!makerWords.empty() && !sameModel && (namesMaker(texts[0]) || namesMaker(texts[1])) &&
            (!models[0].empty() || !models[1].empty())) {
            continue;
        }
        found.push_back(ProfileMatch{profile, score, sameModel});
    }
    std::stable_sort(found.begin(), found.end(), [](const ProfileMatch& a, const ProfileMatch& b) {
        if (a.sameModel != b.sameModel) {
            return a.sameModel;
        }
        return a.score > b.score;
    });
    return found;
}

} // namespace PrintKit::ProfileMatcher
