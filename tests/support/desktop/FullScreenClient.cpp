#include "tests/support/desktop/FullScreenClient.h"

#include "tests/support/desktop/FieldsClient.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>

namespace korvane::testing {

namespace {

using namespace std::chrono_literals;

std::string hexColour(std::uint32_t colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(colour));
    return text;
}

}  // namespace

FullScreenClient::FullScreenClient() : process_({KORVANE_FULLSCREEN_WINDOW, hexColour(kColour)})
{
    std::istringstream line(process_.expectLine("ready ", 20s));
    std::string word;
    line >> word >> window_;
    if (window_ == 0) {
        throw std::runtime_error("the full-screen window did not appear");
    }
}

void FullScreenClient::activate()
{
    xdotool({"windowactivate", "--sync", std::to_string(window_)});
}

std::optional<FullScreenClient::Press> FullScreenClient::nextPress(std::chrono::milliseconds timeout)
{
    std::istringstream words(process_.readLine(timeout).value_or(""));
    std::string word;
    Press press;
    if (words >> word >> press.button >> press.x >> press.y && word == "press") {
        return press;
    }
    return std::nullopt;
}

}  // namespace korvane::testing
