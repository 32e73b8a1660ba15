#include "transcription/models/ModelCatalogueFile.h"

#include "base/json/WholeNumber.h"
#include "base/logging/Logger.h"
#include "transcription/models/ModelUrl.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>
#include <vector>

namespace korvane {

namespace {

// Far beyond any real catalogue; keeps a wrongly named file (a model itself) out of memory.
constexpr std::uintmax_t kLargestCatalogueFile = 1024 * 1024;

constexpr std::string_view kModelFields[] = {"name", "file", "bytes", "sha256", "url"};

ModelCatalogueReading refused(std::string error)
{
    return {std::nullopt, std::move(error)};
}

bool hasControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// One name within the models folder, of a length file systems allow, and not hidden: the folder's
// hidden ".<file>.XXXXXX.part" names are downloads in progress, which the stale-download sweep
// removes.
bool isSafeFileName(const std::string& name)
{
    constexpr std::size_t kLongestName = 255;
    return !name.empty() && name.size() <= kLongestName && name.front() != '.' && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos && !hasControlCharacter(name);
}

std::optional<std::string> lowercaseDigest(const std::string& text)
{
    if (text.size() != 64) {
        return std::nullopt;
    }
    std::string digest;
    for (const unsigned char character : text) {
        if (!std::isxdigit(character)) {
            return std::nullopt;
        }
        digest += static_cast<char>(std::tolower(character));
    }
    return digest;
}

const std::string* stringField(const nlohmann::json& model, std::string_view field)
{
    const auto found = model.find(field);
    return found != model.end() && found->is_string() ? found->get_ptr<const std::string*>() : nullptr;
}

}  // namespace

ModelCatalogueReading parseModelCatalogue(std::string_view text)
{
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded()) {
        return refused("not valid JSON");
    }
    if (!document.is_object()) {
        return refused("the top level is not an object");
    }
    const auto version = document.find("version");
    if (version == document.end() || wholeNumber(*version) != 1) {
        return refused("\"version\" must be 1");
    }
    const auto models = document.find("models");
    if (models == document.end() || !models->is_array() || models->empty()) {
        return refused("\"models\" must be a non-empty list");
    }

    ModelCatalogue catalogue;
    std::vector<std::string> names;
    std::set<std::string> fileNames;
    for (std::size_t index = 0; index < models->size(); ++index) {
        const nlohmann::json& model = (*models)[index];
        const std::string where = "model " + std::to_string(index + 1);
        if (!model.is_object()) {
            return refused(where + " is not an object");
        }
        for (const auto& [key, value] : model.items()) {
            if (std::find(std::begin(kModelFields), std::end(kModelFields), key) == std::end(kModelFields)) {
                return refused(where + ": unknown field \"" + key + "\"");
            }
        }
        const std::string* name = stringField(model, "name");
        if (name == nullptr || name->empty() || hasControlCharacter(*name)) {
            return refused(where + ": \"name\" must be a non-empty string without control characters");
        }
        if (std::find(names.begin(), names.end(), *name) != names.end()) {
            return refused(where + ": the name \"" + *name + "\" is used twice");
        }
        const std::string* file = stringField(model, "file");
        if (file == nullptr || !isSafeFileName(*file)) {
            return refused(where + ": \"file\" must be a plain file name");
        }
        if (!fileNames.insert(*file).second) {
            return refused(where + ": the file \"" + *file + "\" is used twice");
        }
        const auto bytes = model.find("bytes");
        const std::optional<std::int64_t> size = bytes == model.end() ? std::nullopt : wholeNumber(*bytes);
        if (!size || *size <= 0) {
            return refused(where + ": \"bytes\" must be a positive whole number");
        }
        const std::string* digestText = stringField(model, "sha256");
        const std::optional<std::string> digest = digestText ? lowercaseDigest(*digestText) : std::nullopt;
        if (!digest) {
            return refused(where + ": \"sha256\" must be 64 hexadecimal digits");
        }
        const std::string* url = stringField(model, "url");
        if (url == nullptr || classifyModelUrl(*url) == ModelUrlKind::refused) {
            return refused(where + ": \"url\" must be an https:// address, or http:// to this machine");
        }
        names.push_back(*name);
        catalogue.definitions.emplace(*name, ModelDefinition{*file, *size, *digest, *url});
    }
    catalogue.names = ModelNameRule(std::move(names));
    return {std::move(catalogue), {}};
}

ModelCatalogueReading readModelCatalogueFile(const std::filesystem::path& file)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) {
        return refused("cannot read the file: " + error.message());
    }
    if (size > kLargestCatalogueFile) {
        return refused("the file is larger than 1 MiB");
    }
    std::ifstream stream(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    stream.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (!stream) {
        return refused("cannot read the file");
    }
    return parseModelCatalogue(text);
}

ModelCatalogue chooseModelCatalogue(const char* environmentValue, const std::optional<std::string>& settingValue)
{
    std::string path;
    if (environmentValue != nullptr && *environmentValue != '\0') {
        path = environmentValue;
    } else if (settingValue && !settingValue->empty()) {
        path = *settingValue;
    } else {
        return builtInModelCatalogue();
    }
    ModelCatalogueReading reading = readModelCatalogueFile(path);
    if (!reading.catalogue) {
        Logger::log("Model catalogue " + path + " refused (" + reading.error + ") -- using the built-in models");
        return builtInModelCatalogue();
    }
    Logger::log("Model catalogue " + path + " offers " + std::to_string(reading.catalogue->names.names().size()) +
                " models");
    return std::move(*reading.catalogue);
}

}  // namespace korvane
