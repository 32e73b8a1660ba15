#pragma once

#include "base/logging/LogSink.h"
#include "delivery/paste/Clipboard.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace korvane {

// The clipboard (and the primary selection) of a Wayland session without XWayland, through the
// compositor's data control: ext_data_control_manager_v1 where offered, else wlroots'
// zwlr_data_control_manager_v1 (sway, river, Hyprland...). Unlike a window's clipboard, data control
// needs neither a window nor the keyboard focus. Keeps a Wayland connection of its own, read through
// Qt's event loop, which must run for other clients to read what we offer.
//
// Reading another client's contents waits for it, bounded (a second per format, three in all): a
// hung owner costs that time and its formats, never the main loop. Writing waits for the
// compositor's answer (bounded too), so that the change count already includes the write when it
// returns. Once the connection is lost (logged once) every write returns false and snapshots are
// empty. Main thread only.
class WaylandDataControlClipboard final : public Clipboard {
public:
    // Connects to the compositor WAYLAND_DISPLAY names. Nothing (and a log line) when there is no
    // compositor or it offers no data control: then there is no clipboard this way.
    static std::unique_ptr<WaylandDataControlClipboard> create(LogSink log = defaultLogSink());
    ~WaylandDataControlClipboard() override;

    WaylandDataControlClipboard(const WaylandDataControlClipboard&) = delete;
    WaylandDataControlClipboard& operator=(const WaylandDataControlClipboard&) = delete;

    std::uint64_t changeCount() const override;
    std::optional<ClipboardSnapshot> snapshot() override;
    bool writeTranscript(const std::string& text) override;
    // False where the compositor's data control has no primary selection (wlroots' before version 2).
    bool writePrimary(const std::string& text) override;
    void restore(const ClipboardSnapshot& contents) override;
    void clear() override;
    bool copyPlainText(const std::string& text) override;
    // The protocol does not say who reads, so every read of a data format counts (reads of the
    // markers alone do not): a clipboard manager that copies every new selection counts too.
    std::uint64_t dataRequestsSinceWrite(ClipboardSelection selection) const override;

private:
    class Impl;
    explicit WaylandDataControlClipboard(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane
