#include "core/settings/AppSettings.h"
#include "core/settings/SettingsKeys.h"
#include "core/settings/SettingsStore.h"
#include "tests/support/TemporaryDirectory.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

namespace korvane {
namespace {

// A settings file in a temporary folder that holds a realistic document.
class BenchSettings {
public:
    BenchSettings()
    {
        settings_ = std::make_unique<AppSettings>(folder_.path() / "settings.json");
        settings_->setModelSize("medium");
        settings_->setHotkeyMode(HotkeyMode::hold);
        settings_->setHotkeyModifiers({"ctrl", "shift"});
        settings_->setHotkeyKeyCode(49);
        settings_->setSettingsTab(SettingsTab::vocabulary);
        settings_->defaults().setData(SettingsKeys::vocabularyV1, std::string(4096, 'v'));
    }

    AppSettings& operator*() { return *settings_; }
    AppSettings* operator->() { return settings_.get(); }

private:
    // Declared first so it is removed last, after the settings that write into it.
    testing::TemporaryDirectory folder_{"korvane-bench"};
    std::unique_ptr<AppSettings> settings_;
};

void BM_SettingsReadStringKey(benchmark::State& state)
{
    BenchSettings settings;
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings->defaults().string(SettingsKeys::modelSize));
    }
}
BENCHMARK(BM_SettingsReadStringKey)->Repetitions(10)->ReportAggregatesOnly(true);

// The typed read the shell makes on every hotkey event.
void BM_SettingsReadHotkeyMode(benchmark::State& state)
{
    BenchSettings settings;
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings->hotkeyMode());
    }
}
BENCHMARK(BM_SettingsReadHotkeyMode)->Repetitions(10)->ReportAggregatesOnly(true);

// A write: the whole document to a temporary file, fsync, rename. Dominated by the disk.
void BM_SettingsWrite(benchmark::State& state)
{
    BenchSettings settings;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        settings->setSettingsTab(flip ? SettingsTab::general : SettingsTab::about);
    }
}
BENCHMARK(BM_SettingsWrite)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korvane
