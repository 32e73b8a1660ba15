#include "tests/support/desktop/ChromiumClient.h"

#include "tests/support/desktop/DesktopSession.h"
#include "tests/support/desktop/FieldsClient.h"
#include "tests/support/process/Programs.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace korvane::testing {

namespace {

using namespace std::chrono_literals;

// The title is the text area's contents in brackets, so that an empty text area still has one.
constexpr const char* kPage = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>[]</title></head><body>
<textarea id="field" rows="4" cols="40"></textarea>
<script>
const field = document.getElementById("field");
const show = () => { document.title = "[" + field.value + "]"; };
field.addEventListener("input", show);
field.value = decodeURIComponent(location.hash.substring(1));
field.focus();
field.setSelectionRange(field.value.length, field.value.length);
show();
</script></body></html>
)";

std::string percentEncoded(const std::string& text)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string encoded;
    for (const unsigned char byte : text) {
        encoded += '%';
        encoded += kDigits[byte >> 4];
        encoded += kDigits[byte & 0x0f];
    }
    return encoded;
}

// Where a shell reads it as one word.
std::string quoted(const std::string& word)
{
    std::string result = "'";
    for (const char character : word) {
        result += character == '\'' ? std::string("'\\''") : std::string(1, character);
    }
    return result + "'";
}

}  // namespace

ChromiumClient::ChromiumClient(const std::string& text)
{
    const std::string page = (files_.path() / "page.html").string();
    std::ofstream(page) << kPage;
    // Running as root needs --no-sandbox; --test-type keeps the warning bar about it away. Without
    // the variables some toolkits read, only the accessibility bus decides whether it joins.
    const std::vector<std::string> arguments{
        "env",
        "-u",
        "ACCESSIBILITY_ENABLED",
        "-u",
        "GNOME_ACCESSIBILITY",
        "-u",
        "QT_ACCESSIBILITY",
        "chromium",
        "--no-sandbox",
        "--test-type",
        "--user-data-dir=" + (files_.path() / "profile").string(),
        "--no-first-run",
        "--no-default-browser-check",
        "--disable-gpu",
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
        "--password-store=basic",
        "--window-position=0,0",
        "--window-size=640,400",
        "--app=file://" + page + "#" + percentEncoded(text),
    };
    std::string command = "exec";
    for (const std::string& argument : arguments) {
        command += " " + quoted(argument);
    }
    // Its messages go to a file: the test's own output stays readable.
    command += " 2>" + quoted((files_.path() / "chromium.log").string());
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{"sh", "-c", command});

    // Under load a first start of a profile takes a while. Chromium makes and drops windows of its
    // own meanwhile, so one search may fail half-way (BadWindow) and is simply repeated.
    const std::string search = "exec timeout 10 xdotool search --onlyvisible --pid " + std::to_string(process_->pid()) +
                               " --name '^\\[.*\\]$' 2>/dev/null";
    waitFor(
        [&] {
            ChildProcess searching({"sh", "-c", search});
            std::istringstream ids(searching.readAll(15s));
            ids >> window_;
            return window_ != 0;
        },
        60s);
    if (window_ == 0) {
        throw std::runtime_error("no Chromium window appeared");
    }
}

ChromiumClient::~ChromiumClient() = default;

void ChromiumClient::activate()
{
    xdotool({"windowactivate", "--sync", std::to_string(window_)});
}

std::string ChromiumClient::text()
{
    ChildProcess reader({"timeout", "10", "xdotool", "getwindowname", std::to_string(window_)});
    const std::string title = reader.readAll(10s, whileWaiting_);
    const std::size_t open = title.find('[');
    const std::size_t close = title.rfind(']');
    if (open == std::string::npos || close == std::string::npos || close < open) {
        return {};
    }
    return title.substr(open + 1, close - open - 1);
}

}  // namespace korvane::testing
