#pragma once

#include "transcription/models/ModelNames.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane {

// The models on offer and the rule applied wherever a model is chosen: a name that is not offered
// becomes the default. Normally the built-in models with "small" as the default; a model catalogue
// file offers its own models, the first of them being the default. Immutable, cheap to copy.
class ModelNameRule {
public:
    // The built-in models.
    ModelNameRule() : names_(kModelNames.begin(), kModelNames.end()), defaultName_(kDefaultModelName) {}

    // `names` in the order they are shown; the first is the default. Throws std::invalid_argument
    // for an empty list, which would leave nothing to fall back on.
    explicit ModelNameRule(std::vector<std::string> names) : names_(std::move(names))
    {
        if (names_.empty()) {
            throw std::invalid_argument("a model name rule needs at least one model");
        }
        defaultName_ = names_.front();
    }

    const std::vector<std::string>& names() const { return names_; }
    const std::string& defaultName() const { return defaultName_; }

    bool isKnown(std::string_view name) const { return std::find(names_.begin(), names_.end(), name) != names_.end(); }

    std::string resolve(std::string_view name) const { return isKnown(name) ? std::string(name) : defaultName_; }

    friend bool operator==(const ModelNameRule&, const ModelNameRule&) = default;

private:
    std::vector<std::string> names_;
    std::string defaultName_;
};

}  // namespace korvane
