#include "text/UnicodeText.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>

#include <memory>

namespace korvane::unicode_text {

namespace {

const icu::Normalizer2* nfcNormalizer()
{
    // ICU owns the instance and keeps it for the life of the process; the lookup is thread-safe.
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    return U_SUCCESS(status) ? normalizer : nullptr;
}

// Creating a character break iterator loads rule data and costs far more than using one, and the
// cleaner counts characters for every rule of every transcript: keep one per thread.
icu::BreakIterator* characterBreaks()
{
    thread_local std::unique_ptr<icu::BreakIterator> breaks = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> created(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) {
            created.reset();
        }
        return created;
    }();
    return breaks.get();
}

bool isAscii(const icu::UnicodeString& text)
{
    const char16_t* units = text.getBuffer();
    for (int32_t i = 0; i < text.length(); ++i) {
        if (units[i] >= 0x80) {
            return false;
        }
    }
    return true;
}

bool hasCharacterIn(const icu::UnicodeString& text, uint32_t categoryMask)
{
    for (int32_t i = 0; i < text.length();) {
        const UChar32 c = text.char32At(i);
        if ((U_GET_GC_MASK(c) & categoryMask) != 0) {
            return true;
        }
        i += U16_LENGTH(c);
    }
    return false;
}

}  // namespace

icu::UnicodeString fromUtf8(std::string_view utf8)
{
    return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
}

std::string toUtf8(const icu::UnicodeString& text)
{
    std::string utf8;
    text.toUTF8String(utf8);
    return utf8;
}

bool isWhitespaceOrNewline(UChar32 c)
{
    return u_hasBinaryProperty(c, UCHAR_WHITE_SPACE) != 0;
}

icu::UnicodeString trimmed(const icu::UnicodeString& text)
{
    int32_t start = 0;
    int32_t end = text.length();
    while (start < end) {
        const UChar32 c = text.char32At(start);
        if (!isWhitespaceOrNewline(c)) {
            break;
        }
        start += U16_LENGTH(c);
    }
    while (end > start) {
        const UChar32 c = text.char32At(end - 1);
        if (!isWhitespaceOrNewline(c)) {
            break;
        }
        end -= U16_LENGTH(c);
    }
    return icu::UnicodeString(text, start, end - start);
}

icu::UnicodeString lowercased(const icu::UnicodeString& text)
{
    // Vocabularies are mostly ASCII and are lower-cased for every transcript; ASCII needs no
    // case-mapping data.
    if (isAscii(text)) {
        icu::UnicodeString lower(text);
        char16_t* units = lower.getBuffer(lower.length());
        for (int32_t i = 0; i < text.length(); ++i) {
            if (units[i] >= u'A' && units[i] <= u'Z') {
                units[i] = static_cast<char16_t>(units[i] + (u'a' - u'A'));
            }
        }
        lower.releaseBuffer(text.length());
        return lower;
    }
    icu::UnicodeString lower(text);
    lower.toLower(icu::Locale::getRoot());
    return lower;
}

icu::UnicodeString composed(const icu::UnicodeString& text)
{
    const icu::Normalizer2* normalizer = nfcNormalizer();
    if (normalizer == nullptr || isAscii(text)) {
        return text;
    }
    UErrorCode status = U_ZERO_ERROR;
    if (normalizer->isNormalized(text, status) && U_SUCCESS(status)) {
        return text;
    }
    status = U_ZERO_ERROR;
    icu::UnicodeString result = normalizer->normalize(text, status);
    return U_SUCCESS(status) ? result : text;
}

icu::UnicodeString caseInsensitiveKey(const icu::UnicodeString& text)
{
    return composed(lowercased(text));
}

icu::UnicodeString caseFoldedKey(const icu::UnicodeString& text)
{
    icu::UnicodeString folded(text);
    folded.foldCase(U_FOLD_CASE_DEFAULT);
    return composed(folded);
}

bool canonicallyEqual(const icu::UnicodeString& a, const icu::UnicodeString& b)
{
    return a == b || composed(a) == composed(b);
}

bool canonicallyEqualUtf8(std::string_view a, std::string_view b)
{
    return a == b || canonicallyEqual(fromUtf8(a), fromUtf8(b));
}

bool containsLetterOrNumber(const icu::UnicodeString& text)
{
    return hasCharacterIn(text, U_GC_L_MASK | U_GC_N_MASK);
}

bool containsAlphanumeric(const icu::UnicodeString& text)
{
    return hasCharacterIn(text, U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK);
}

std::size_t graphemeCount(const icu::UnicodeString& text)
{
    // Plain ASCII is one character per code unit, except that CR LF forms a single cluster.
    bool ascii = true;
    std::size_t crlfPairs = 0;
    for (int32_t i = 0; i < text.length(); ++i) {
        const char16_t unit = text.charAt(i);
        if (unit >= 0x80) {
            ascii = false;
            break;
        }
        if (unit == u'\n' && i > 0 && text.charAt(i - 1) == u'\r') {
            ++crlfPairs;
        }
    }
    if (ascii) {
        return static_cast<std::size_t>(text.length()) - crlfPairs;
    }

    icu::BreakIterator* breaks = characterBreaks();
    if (breaks == nullptr) {
        return static_cast<std::size_t>(text.countChar32());
    }
    breaks->setText(text);
    std::size_t count = 0;
    for (int32_t boundary = breaks->next(); boundary != icu::BreakIterator::DONE; boundary = breaks->next()) {
        ++count;
    }
    // The iterator keeps a reference to the text it was given: point it at a string that outlives
    // it rather than leave it aimed at the caller's.
    static const icu::UnicodeString nothing;
    breaks->setText(nothing);
    return count;
}

}  // namespace korvane::unicode_text
