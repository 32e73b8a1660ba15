#include "tests/support/qt/TwoScreenApplication.h"

#include <fstream>

namespace korvane::testing {

namespace {

std::string screenJson(const char* name, const Rect& frame)
{
    return std::string("{\"name\": \"") + name + "\", \"x\": " + std::to_string(int(frame.x)) +
           ", \"y\": " + std::to_string(int(frame.y)) + ", \"width\": " + std::to_string(int(frame.width)) +
           ", \"height\": " + std::to_string(int(frame.height)) + "}";
}

}  // namespace

TwoScreenApplication::TwoScreenApplication(const std::string& scaleFactors)
{
    // The offscreen platform makes its screens in the order of their names; the first is primary.
    const std::filesystem::path layout = files_.path() / "screens.json";
    std::ofstream(layout) << "{\"screens\": [" << screenJson("A", kPrimary) << ", " << screenJson("B", kSecond) << "]}";
    const auto set = [this](const std::string& name, const std::string& value) {
        environment_.push_back(std::make_unique<ScopedEnvironment>(name, value));
    };
    set("QT_QPA_PLATFORM", "offscreen:configfile=" + layout.string());
    // Without this the offscreen platform looks for an X server to draw with.
    set("QT_QPA_OFFSCREEN_NO_GLX", "1");
    set("QT_SCALE_FACTOR", "1");
    set("QT_SCREEN_SCALE_FACTORS", scaleFactors);
    static int argc = 1;
    static char name[] = "korvane-two-screens";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<QApplication>(argc, argv);
}

TwoScreenApplication::~TwoScreenApplication()
{
    application_.reset();
}

}  // namespace korvane::testing
