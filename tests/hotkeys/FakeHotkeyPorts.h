#pragma once

#include "hotkeys/GlobalShortcutsPortal.h"
#include "hotkeys/KeyGrabber.h"
#include "hotkeys/ModifierKeySource.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace korvane::testing {

// Grants or refuses grabs as told, records what was asked, and plays the keyboard's events.
class FakeKeyGrabber final : public KeyGrabber {
public:
    Result grab(const KeyGrabRequest& request) override
    {
        requests.push_back(request);
        if (refuseWith != KeyGrabStatus::grabbed) {
            return {refuseWith, nullptr};
        }
        held.insert(request.hotkeyId);
        return {KeyGrabStatus::grabbed, std::make_unique<FakeGrab>(*this, request.hotkeyId)};
    }

    void setEventHandler(EventHandler eventHandler) override { handler = std::move(eventHandler); }

    void send(std::uint32_t hotkeyId, HotkeyEvent event, bool autoRepeat = false)
    {
        handler({hotkeyId, event, autoRepeat});
    }

    int refuseWith = KeyGrabStatus::grabbed;
    std::vector<KeyGrabRequest> requests;
    std::set<std::uint32_t> held;      // ids whose grab is in place
    std::vector<std::uint32_t> freed;  // ids in the order their grabs were released
    EventHandler handler;

private:
    class FakeGrab final : public Grab {
    public:
        FakeGrab(FakeKeyGrabber& owner, std::uint32_t id) : owner_(owner), id_(id) {}
        ~FakeGrab() override
        {
            owner_.held.erase(id_);
            owner_.freed.push_back(id_);
        }

    private:
        FakeKeyGrabber& owner_;
        std::uint32_t id_;
    };
};

// The modifier keys of a pretend keyboard: change() is a change the watch reports, hold() one it
// misses.
class FakeModifierKeys final : public ModifierKeySource {
public:
    ChordModifierSet heldModifiers() override { return held_; }

    std::unique_ptr<Watch> watch(Handler handler) override
    {
        if (!canWatch) {
            return nullptr;
        }
        handler_ = std::move(handler);
        return std::make_unique<FakeWatch>(*this);
    }

    void change(ChordModifierSet held)
    {
        held_ = held;
        if (handler_) {
            handler_(held);
        }
    }
    void hold(ChordModifierSet held) { held_ = held; }
    bool watched() const { return static_cast<bool>(handler_); }

    bool canWatch = true;

private:
    class FakeWatch final : public Watch {
    public:
        explicit FakeWatch(FakeModifierKeys& owner) : owner_(owner) {}
        ~FakeWatch() override { owner_.handler_ = nullptr; }

    private:
        FakeModifierKeys& owner_;
    };

    ChordModifierSet held_;
    Handler handler_;
};

// A desktop portal that records the binds asked of it, answers when the test says, and sends
// the desktop's events to its current subscriber.
class FakeGlobalShortcutsPortal final : public GlobalShortcutsPortal {
public:
    void bind(const Shortcut& shortcut, std::function<void(const Answer&)> done) override
    {
        binds.push_back(shortcut);
        pending.push_back(std::move(done));
    }
    std::uint64_t subscribe(Handlers handlers) override
    {
        subscriber = ++subscriptions;
        current = std::move(handlers);
        return subscriber;
    }
    void unsubscribe(std::uint64_t subscription) override
    {
        if (subscription == subscriber) {
            subscriber = 0;
            current = {};
        }
    }

    // Answers the oldest bind still waiting.
    void answer(const Answer& answer)
    {
        auto done = std::move(pending.front());
        pending.erase(pending.begin());
        done(answer);
    }

    std::vector<Shortcut> binds;
    std::vector<std::function<void(const Answer&)>> pending;
    Handlers current;
    std::uint64_t subscriber = 0;
    std::uint64_t subscriptions = 0;
};

}  // namespace korvane::testing
