#pragma once

#include <span>
#include <string>
#include <vector>

namespace korvane {

// One line of `korvane --self-test`: what was checked, what was found, and what to do about it.
struct SelfTestCheck {
    enum class Outcome {
        passed,
        // Dictation still works without it, in a lesser way (no tray icon, no focus checks).
        warning,
        // A dictation cannot succeed until this is mended.
        failed,
    };

    std::string name;
    Outcome outcome = Outcome::passed;
    std::string finding;
    std::string remedy;  // empty when there is nothing to do
};

// "ok    Name: finding", "warn  …" or "FAIL  …", then the remedy on an indented line of its own
// when the check did not pass.
std::string formatSelfTestCheck(const SelfTestCheck& check);

// 0 only when nothing a dictation needs is missing; warnings do not count.
int selfTestExitStatus(const std::vector<SelfTestCheck>& checks);

// The RMS level of the samples in dBFS (full-scale sine = -3 dBFS); -120 for silence or nothing.
double levelDbfs(std::span<const float> samples);

// Below this a source is taken to deliver silence (a muted or unplugged input), not a quiet room.
inline constexpr double kSilenceDbfs = -80.0;

}  // namespace korvane
