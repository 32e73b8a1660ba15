#pragma once

#include "delivery/paste/Clipboard.h"
#include "tests/support/DeliveryPrinting.h"
#include "tests/support/fakes/CallJournal.h"

#include <memory>
#include <string>
#include <utility>

namespace korvane::testing {

inline ClipboardSnapshot plainText(const std::string& text)
{
    return {{"text/plain", text}};
}

// A clipboard in memory. Records "clipboard: snapshot", "write <text>", "primary <text>",
// "restore <text>" and "clear" in the journal.
class FakeClipboard final : public Clipboard {
public:
    explicit FakeClipboard(std::shared_ptr<CallJournal> journal) : journal_("clipboard", std::move(journal)) {}

    std::uint64_t changeCount() const override { return changeCount_; }
    std::optional<ClipboardSnapshot> snapshot() override
    {
        journal_("snapshot");
        return secret_ ? std::nullopt : std::optional(contents);
    }
    bool writeTranscript(const std::string& text) override
    {
        journal_("write " + text);
        if (!failWrites) {
            take(plainText(text));
        }
        return !failWrites;
    }
    bool writePrimary(const std::string& text) override
    {
        journal_("primary " + text);
        if (!failPrimary) {
            primary = text;
            primaryRequests = 0;
        }
        return !failPrimary;
    }
    void restore(const ClipboardSnapshot& saved) override
    {
        journal_("restore " + (saved.empty() ? std::string() : saved.front().data));
        take(saved);
    }
    void clear() override
    {
        journal_("clear");
        take({});
    }
    bool copyPlainText(const std::string& text) override
    {
        take(plainText(text));
        return true;
    }
    std::uint64_t dataRequestsSinceWrite(ClipboardSelection selection) const override
    {
        return selection == ClipboardSelection::primary ? primaryRequests : dataRequests;
    }

    // Another application takes the clipboard; a password manager marks its contents secret.
    void otherApplicationCopies(const ClipboardSnapshot& theirs, bool secret = false)
    {
        take(theirs);
        secret_ = secret;
    }

    ClipboardSnapshot contents;
    std::string primary;
    std::uint64_t dataRequests = 0;     // the target asking for our last write's data
    std::uint64_t primaryRequests = 0;  // the same for PRIMARY
    bool failWrites = false;
    bool failPrimary = false;

private:
    void take(ClipboardSnapshot newContents)
    {
        contents = std::move(newContents);
        secret_ = false;
        ++changeCount_;
        dataRequests = 0;
    }

    JournalWriter journal_;
    bool secret_ = false;
    std::uint64_t changeCount_ = 1;
};

}  // namespace korvane::testing
