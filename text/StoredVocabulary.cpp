#include "text/StoredVocabulary.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>

namespace korvane {

namespace {

// A number written with a zero fraction part (1.0), as a signed 64-bit integer; nothing for a real
// fraction, a non-number or a value beyond the range of one.
std::optional<std::int64_t> wholeNumber(const nlohmann::json& value)
{
    if (!value.is_number_float()) {
        return std::nullopt;
    }
    const double number = value.get<double>();
    // -2^63 is exact as a double; 2^63 is the first value past the range.
    constexpr double kLowest = -9223372036854775808.0;
    constexpr double kPastHighest = 9223372036854775808.0;
    if (!std::isfinite(number) || std::trunc(number) != number || number < kLowest || number >= kPastHighest) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(number);
}

std::optional<VocabularyEntry> readEntry(const nlohmann::json& object)
{
    if (!object.is_object()) {
        return std::nullopt;
    }
    const auto replacement = object.find("replacement");
    const auto aliases = object.find("aliases");
    if (replacement == object.end() || !replacement->is_string() || aliases == object.end() || !aliases->is_array()) {
        return std::nullopt;
    }
    VocabularyEntry entry;
    entry.replacement = replacement->get<std::string>();
    entry.aliases.reserve(aliases->size());
    for (const nlohmann::json& alias : *aliases) {
        if (!alias.is_string()) {
            return std::nullopt;
        }
        entry.aliases.push_back(alias.get<std::string>());
    }
    return entry;
}

std::optional<StoredVocabulary> readDocument(const nlohmann::json& document)
{
    if (!document.is_object()) {
        return std::nullopt;
    }
    const auto version = document.find("version");
    const auto entries = document.find("entries");
    if (version == document.end() || entries == document.end() || !entries->is_array()) {
        return std::nullopt;
    }

    StoredVocabulary stored;
    if (version->is_number_integer() && !version->is_number_unsigned()) {
        stored.version = version->get<std::int64_t>();
    } else if (version->is_number_unsigned()) {
        // Any unsigned value that does not fit a signed 64-bit integer is above every known version.
        const std::uint64_t value = version->get<std::uint64_t>();
        stored.version = value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                             ? std::numeric_limits<std::int64_t>::max()
                             : static_cast<std::int64_t>(value);
    } else if (const std::optional<std::int64_t> whole = wholeNumber(*version)) {
        // JSON does not tell 1 from 1.0; a writer that emits every number with a fraction part
        // must not cost the user the whole list, just as the stored shortcut reads 2.0 as 2.
        stored.version = *whole;
    } else {
        return std::nullopt;
    }

    stored.entries.reserve(entries->size());
    for (const nlohmann::json& object : *entries) {
        std::optional<VocabularyEntry> entry = readEntry(object);
        if (!entry) {
            return std::nullopt;
        }
        stored.entries.push_back(std::move(*entry));
    }
    return stored;
}

}  // namespace

std::optional<std::string> StoredVocabulary::encode(const Vocabulary& vocabulary)
{
    // ordered_json keeps members in insertion order, which fixes the key order of the output.
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (const VocabularyEntry& entry : vocabulary.entries()) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        object["replacement"] = entry.replacement;
        object["aliases"] = entry.aliases;
        entries.push_back(std::move(object));
    }
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    document["version"] = currentVersion;
    document["entries"] = std::move(entries);
    try {
        return document.dump();
    } catch (const nlohmann::json::exception&) {
        // Only invalid UTF-8 in a string gets here; storing a document no reader accepts would lose
        // the whole vocabulary on the next launch.
        return std::nullopt;
    }
}

std::optional<Vocabulary> StoredVocabulary::decode(std::string_view bytes)
{
    const nlohmann::json document = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (document.is_discarded()) {
        return std::nullopt;
    }
    const std::optional<StoredVocabulary> stored = readDocument(document);
    if (!stored || stored->version > currentVersion) {
        return std::nullopt;
    }
    return Vocabulary(stored->entries);
}

}  // namespace korvane
