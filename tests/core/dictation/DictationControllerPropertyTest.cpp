// SPDX-License-Identifier: MIT
// Random interleavings of user input, recorder callbacks, model loads, background work, timers and
// delivery outcomes, checked against the rules every run must keep.
#include "tests/core/dictation/ControllerHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace korvane {
namespace {

using Kind = DictationStatus::Kind;

bool isFinal(const DictationStatus& status)
{
    switch (status.kind()) {
    case Kind::error:
    case Kind::noSpeech:
    case Kind::cancelled:
    case Kind::pasteSent:
    case Kind::copiedToClipboard:
    case Kind::notDelivered:
        return true;
    default:
        return false;
    }
}

// Watches the statuses of one controller and notes every broken rule.
class DictationAuditor {
public:
    explicit DictationAuditor(const DictationController& controller) : controller_(controller) {}

    void observe(const DictationStatus& status)
    {
        const auto& state = controller_.state();
        const std::string seen = toString(status) + " in state " + toString(state);
        switch (status.kind()) {
        case Kind::recording:
            expect(!inFlight_, "a recording started before the previous dictation ended: " + seen);
            expect(state == DictationState::recording(), "recording status outside recording: " + seen);
            recordingOpen_ = true;
            break;
        case Kind::transcribing:
            expect(!inFlight_, "two dictations in flight: " + seen);
            expect(state == DictationState::transcribing(), "transcribing status outside transcribing: " + seen);
            inFlight_ = true;
            recordingOpen_ = false;
            ++dictations_;
            break;
        case Kind::loading:
        case Kind::downloading:
        case Kind::ready:
            expect(!state.isBusy(), "model status while dictating: " + seen);
            break;
        default:
            break;
        }
        if (!isFinal(status)) {
            return;
        }
        expect(state == restingState(), "final status left the controller in " + toString(state));
        if (inFlight_) {
            inFlight_ = false;
            ++finals_;
        } else if (status.kind() == Kind::cancelled) {
            expect(recordingOpen_, "cancelled without a dictation: " + seen);
            recordingOpen_ = false;
        } else {
            // Only a refused start or a model load may end in an error outside a dictation.
            const bool allowed = status.kind() == Kind::error &&
                                 (status.message() == "Mic error" || status.message().starts_with("Failed to load "));
            expect(allowed, "final status without a dictation: " + seen);
        }
    }

    DictationState restingState() const
    {
        const auto& ready = controller_.lastReadyModel();
        return ready ? DictationState::modelReady(*ready) : DictationState::idle();
    }

    bool inFlight() const { return inFlight_; }
    int dictations() const { return dictations_; }
    int finals() const { return finals_; }
    const std::vector<std::string>& violations() const { return violations_; }

private:
    void expect(bool holds, const std::string& what)
    {
        if (!holds) {
            violations_.push_back(what);
        }
    }

    const DictationController& controller_;
    bool inFlight_ = false;
    bool recordingOpen_ = false;  // recording, not yet stopped or cancelled
    int dictations_ = 0;
    int finals_ = 0;
    std::vector<std::string> violations_;
};

DeliveryOutcome randomOutcome(std::mt19937& rng)
{
    const auto reason = kDeliveryFallbackReasons[std::uniform_int_distribution<std::size_t>(0, 4)(rng)];
    switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
    case 0:
        return DeliveryOutcome::pasteSent(11);
    case 1:
        return DeliveryOutcome::copiedToClipboard(reason, 11);
    default:
        return DeliveryOutcome::notDelivered(reason);
    }
}

TEST(DictationControllerProperty, EveryDictationThatReachesTranscribingEndsExactlyOnce)
{
    constexpr int kRuns = 200;
    constexpr int kStepsPerRun = 300;
    const std::array<std::string, 4> models{"base", "small", "medium", "turbo"};
    int totalDictations = 0;

    for (unsigned seed = 1; seed <= kRuns; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        auto chance = [&](double p) { return std::bernoulli_distribution(p)(rng); };

        testing::ControllerHarness h;
        DictationAuditor auditor(h.dictation());
        h.dictation().setOnStatusChange([&](const DictationStatus& status) { auditor.observe(status); });

        for (int step = 0; step < kStepsPerRun; ++step) {
            switch (std::uniform_int_distribution<int>(0, 12)(rng)) {
            case 0:
                h.dictation().start();
                break;
            case 1:
                h.dictation().stop();
                break;
            case 2:
                h.dictation().toggle();
                break;
            case 3:
                h.recorder->reachCap();
                break;
            case 4:
                h.recorder->loseCapture();
                break;
            case 5:
                h.dictation().preloadModel(models[std::uniform_int_distribution<std::size_t>(0, 3)(rng)]);
                break;
            case 6:
                h.backgroundQueue->runOne();
                break;
            case 7:
                h.mainQueue->runUntilIdle();
                break;
            case 8:
                h.mainQueue->advance(0.05 * std::uniform_int_distribution<int>(1, 4)(rng));
                break;
            case 9:
                h.delivery->completeNext(randomOutcome(rng));
                break;
            case 10:
                h.dictation().deleteModel(models[std::uniform_int_distribution<std::size_t>(0, 3)(rng)]);
                break;
            case 11:
                h.dictation().cancel();
                break;
            default:
                h.recorder->failStartWith(chance(0.1) ? std::optional<std::string>("inputUnavailable") : std::nullopt);
                h.recorder->setSamples(chance(0.1) ? std::vector<float>{} : std::vector<float>(160, 0.1f));
                h.transcriber->failTranscriptionWith(chance(0.1) ? std::optional<std::string>("decodeFailed")
                                                                 : std::nullopt);
                h.transcriber->setLoadResult(!chance(0.2));
                h.cleaner->cleanEverythingTo(chance(0.15) ? "" : "hello");
                h.delivery->answerImmediately(chance(0.2) ? std::optional(randomOutcome(rng)) : std::nullopt);
                break;
            }
        }

        // Let everything that is under way come to its end.
        for (int round = 0; round < 20; ++round) {
            h.dictation().stop();
            h.settle();
            h.mainQueue->advance(1.0);
            while (h.delivery->completeNext(randomOutcome(rng))) {
            }
        }

        EXPECT_THAT(auditor.violations(), ::testing::IsEmpty());
        EXPECT_FALSE(auditor.inFlight());
        EXPECT_EQ(auditor.dictations(), auditor.finals());
        EXPECT_EQ(h.dictation().state(), auditor.restingState());
        EXPECT_EQ(h.dictation().loadingModelName(), std::nullopt);
        totalDictations += auditor.dictations();
    }
    EXPECT_GT(totalDictations, kRuns) << "the random runs should exercise many dictations";
}

}  // namespace
}  // namespace korvane
