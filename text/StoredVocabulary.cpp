#include "text/StoredVocabulary.h"

#include "base/json/WholeNumber.h"

#include <nlohmann/json.hpp>

namespace korvane {

namespace {

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

    // 1.0 counts as version 1; a version beyond 64 bits is above every known one and, like any other
    // value that is no whole number, rejects the document.
    const std::optional<std::int64_t> versionNumber = wholeNumber(*version);
    if (!versionNumber) {
        return std::nullopt;
    }
    StoredVocabulary stored;
    stored.version = *versionNumber;

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
