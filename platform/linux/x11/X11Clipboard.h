#pragma once

#include "delivery/paste/Clipboard.h"

#include <cstdint>
#include <memory>

namespace korvane {

class X11Connection;

// The X11 CLIPBOARD selection through Qt's clipboard, which owns the selection on Qt's own X
// connection and answers other applications' requests. Every offered format is read and written
// as a MIME type. The change count follows Qt's change notifications (XFixes selection-owner
// changes of other clients, and our own writes). Requests other applications make for our data (on
// CLIPBOARD or PRIMARY) are seen by an event filter on Qt's connection, before Qt answers them, and
// counted when they come from the application in front. Main thread; needs a QGuiApplication on the
// xcb platform.
class X11Clipboard final : public Clipboard {
public:
    explicit X11Clipboard(X11Connection& connection);
    ~X11Clipboard() override;

    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    std::uint64_t changeCount() const override;
    std::optional<ClipboardSnapshot> snapshot() override;
    bool writeTranscript(const std::string& text) override;
    bool writePrimary(const std::string& text) override;
    void restore(const ClipboardSnapshot& contents) override;
    void clear() override;
    bool copyPlainText(const std::string& text) override;
    std::uint64_t dataRequestsSinceWrite(ClipboardSelection selection) const override;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane
