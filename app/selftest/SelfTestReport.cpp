#include "app/selftest/SelfTestReport.h"

#include <algorithm>
#include <cmath>

namespace korvane {

std::string formatSelfTestCheck(const SelfTestCheck& check)
{
    const char* tag = "ok    ";
    if (check.outcome == SelfTestCheck::Outcome::warning) {
        tag = "warn  ";
    } else if (check.outcome == SelfTestCheck::Outcome::failed) {
        tag = "FAIL  ";
    }
    std::string line = tag + check.name + ": " + check.finding;
    if (check.outcome != SelfTestCheck::Outcome::passed && !check.remedy.empty()) {
        line += "\n      -> " + check.remedy;
    }
    return line;
}

int selfTestExitStatus(const std::vector<SelfTestCheck>& checks)
{
    const bool anyFailed = std::any_of(checks.begin(), checks.end(), [](const SelfTestCheck& check) {
        return check.outcome == SelfTestCheck::Outcome::failed;
    });
    return anyFailed ? 1 : 0;
}

double levelDbfs(std::span<const float> samples)
{
    constexpr double floor = -120.0;
    if (samples.empty()) {
        return floor;
    }
    double sum = 0.0;
    for (const float sample : samples) {
        sum += static_cast<double>(sample) * sample;
    }
    const double rms = std::sqrt(sum / static_cast<double>(samples.size()));
    if (rms <= 0.0) {
        return floor;
    }
    return std::max(floor, 20.0 * std::log10(rms));
}

}  // namespace korvane
