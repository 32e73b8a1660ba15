#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// One representation of the clipboard's contents: a MIME type and its bytes.
struct ClipboardFormat {
    std::string mimeType;
    std::string data;

    friend bool operator==(const ClipboardFormat&, const ClipboardFormat&) = default;
};

// The two X11 selections a paste reads from: CLIPBOARD for Ctrl+V, PRIMARY for the terminals that
// paste the selection.
enum class ClipboardSelection { clipboard, primary };

// What the clipboard offered, every format in the order offered (the X11 CLIPBOARD holds one item).
// Empty for an empty clipboard.
using ClipboardSnapshot = std::vector<ClipboardFormat>;

// The desktop's clipboard (X11: the CLIPBOARD selection) as the paste logic sees it. Main thread.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    // Grows by one on every change of the clipboard's owner or contents, our own writes included.
    virtual std::uint64_t changeCount() const = 0;

    // Every offered format with its data. Nothing when the owner marks its contents as secret
    // (a password manager's "x-kde-passwordManagerHint" = "secret"): then no other format is read.
    virtual std::optional<ClipboardSnapshot> snapshot() = 0;

    // Takes the clipboard with the transcript as UTF-8 text plus the markers that keep clipboard
    // managers from recording it (transient, auto-generated, and the password manager's secret
    // hint). False when the clipboard could not be taken.
    virtual bool writeTranscript(const std::string& text) = 0;

    // Also takes the PRIMARY selection with the text, for terminals that paste it.
    virtual bool writePrimary(const std::string& text) = 0;

    // Puts saved formats back as one item, marked as auto-generated.
    virtual void restore(const ClipboardSnapshot& contents) = 0;

    // Leaves the clipboard empty.
    virtual void clear() = 0;

    // Puts the text on the clipboard as plain text with no marker, so it stays for the user.
    virtual bool copyPlainText(const std::string& text) = 0;

    // How many times the application in front asked for the contents of our last write to that
    // selection: a target that pasted has asked. Requests for the list of formats or for our markers
    // alone do not count, nor requests of other applications (a clipboard manager copying every new
    // owner's text reads first and must not be taken for the target).
    virtual std::uint64_t dataRequestsSinceWrite(ClipboardSelection selection) const = 0;
};

}  // namespace korvane
