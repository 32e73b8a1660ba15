#pragma once

#include "tests/support/process/ChildProcess.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvane::testing {

// Another application owning the X11 CLIPBOARD with the given formats (MIME type and bytes); it
// counts the requests it serves. Needs a DesktopSession.
class ClipboardOwnerProcess {
public:
    using Formats = std::vector<std::pair<std::string, std::string>>;
    explicit ClipboardOwnerProcess(std::initializer_list<std::pair<std::string, std::string>> formats)
        : ClipboardOwnerProcess(Formats(formats))
    {
    }
    explicit ClipboardOwnerProcess(const Formats& formats);
    ~ClipboardOwnerProcess();

    // How often another client asked for that format.
    int served(const std::string& mimeType);
    bool ownsClipboard();

private:
    std::vector<std::string> files_;
    std::unique_ptr<ChildProcess> process_;
};

// The clipboard's contents in one format, read as another application would (xclip); nothing when
// the clipboard has no owner or does not offer it. When this process may own the clipboard, pass
// `whileWaiting` to keep its event loop going so that it can answer.
std::optional<std::string> readClipboard(const std::string& mimeType, const std::function<void()>& whileWaiting = {});

// The formats the clipboard's owner offers; empty when nobody owns it.
std::vector<std::string> clipboardTargets(const std::function<void()>& whileWaiting = {});

}  // namespace korvane::testing
