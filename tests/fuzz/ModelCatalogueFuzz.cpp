// SPDX-License-Identifier: MIT
// Feeds arbitrary text to the model catalogue file reader. It must refuse with a reason or give a
// catalogue whose every model keeps the file's rules: a unique printable name, a plain file name
// that no download or sweep could mistake for another file, a positive size, a digest, and an
// address the downloader may fetch. Any breach aborts.

#include "tests/fuzz/FuzzChecks.h"
#include "transcription/models/ModelCatalogueFile.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace {

using korvane::fuzz::printable;
using korvane::fuzz::require;

bool isDigest(std::string_view text)
{
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

bool isPlainFileName(std::string_view name)
{
    return !name.empty() && name.size() <= 255 && printable(name) && name.find('/') == std::string_view::npos &&
           name.front() != '.';  // hidden names are the downloads' own, which the sweep removes
}

bool startsWithScheme(std::string_view url, std::string_view scheme)
{
    return url.size() > scheme.size() && std::equal(scheme.begin(), scheme.end(), url.begin(), [](char a, char b) {
               return a == std::tolower(static_cast<unsigned char>(b));
           });
}

// An https or http address (which plain http may reach is the unit tests' business) that names its
// host right after "//" and holds no credentials, which would reach the log.
bool isFetchableAddress(std::string_view url)
{
    if (!printable(url) || url.find(' ') != std::string_view::npos) {
        return false;
    }
    std::string_view rest;
    if (startsWithScheme(url, "https://")) {
        rest = url.substr(8);
    } else if (startsWithScheme(url, "http://")) {
        rest = url.substr(7);
    } else {
        return false;
    }
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    return !authority.empty() && authority.find('@') == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto reading = korvane::parseModelCatalogue(korvane::fuzz::textOf(data, size));
    if (!reading.catalogue) {
        require(!reading.error.empty());
        return 0;
    }
    require(reading.error.empty());
    const auto& catalogue = *reading.catalogue;
    require(!catalogue.names.names().empty());
    require(catalogue.names.names().size() == catalogue.definitions.size());
    std::set<std::string> files;
    for (const std::string& name : catalogue.names.names()) {
        require(!name.empty() && printable(name));
        const auto found = catalogue.definitions.find(name);
        require(found != catalogue.definitions.end());
        const auto& model = found->second;
        require(isPlainFileName(model.fileName));
        require(files.insert(model.fileName).second);
        require(model.expectedBytes > 0);
        require(isDigest(model.sha256));
        require(isFetchableAddress(model.url));
    }
    return 0;
}
