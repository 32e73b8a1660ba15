#pragma once

#include "app/selftest/SelfTestReport.h"

#include <memory>
#include <vector>

namespace korvane {

class AppSettings;
class LinuxPlatform;
class MainQueue;

struct SelfTestContext {
    AppSettings& settings;
    LinuxPlatform& platform;
    std::shared_ptr<MainQueue> mainQueue;
    // A running Korvane holds the shortcut itself; grabbing it again would only prove that.
    bool instanceRunning = false;
};

// Everything a dictation needs, checked in the order a dictation needs it, without changing
// anything: no setting written, no model downloaded, the shortcut released again at once. Takes a
// few seconds (half a second of recording, the model's digest). Needs a running QApplication; main
// thread.
std::vector<SelfTestCheck> runSelfTestChecks(const SelfTestContext& context);

// `korvane --self-test`: sets up the application object (falling back to the offscreen platform
// when no X server answers, so that the report can say so), prints one line per check on standard
// output and returns the exit status.
int runSelfTest(int argc, char** argv, AppSettings& settings, bool instanceRunning);

}  // namespace korvane
