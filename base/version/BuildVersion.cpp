#include "base/version/BuildVersion.h"

#include "KorvaneBuildVersion.h"

namespace korvane {

std::string_view korvaneVersion()
{
    return KORVANE_GENERATED_VERSION;
}

std::string_view korvaneBuild()
{
    return KORVANE_GENERATED_BUILD;
}

std::string versionText(std::string_view version, std::string_view build)
{
    std::string text = "Version ";
    text += version.empty() ? std::string_view("unknown") : version;
    if (!build.empty()) {
        text += " (";
        text += build;
        text += ")";
    }
    return text;
}

}  // namespace korvane
