#include "core/settings/AppSettings.h"

#include "base/files/UserDirectories.h"
#include "base/logging/Logger.h"
#include "core/settings/SettingsKeys.h"
#include "core/settings/SettingsStore.h"
#include "hotkeys/LegacyModifierNames.h"
#include "hotkeys/StoredHotkeyBinding.h"
#include "text/StoredVocabulary.h"

#include <limits>

namespace korvane {

namespace {

constexpr std::uint16_t kDefaultHotkeyKeyCode = 49;  // Space

void followDebugLogging(const SettingsStore& store)
{
    Logger::setEnabled(store.boolean(SettingsKeys::debugLogging).value_or(false));
}

}  // namespace

AppSettings& AppSettings::shared()
{
    static AppSettings instance(defaultFile(), LogSwitch::drive);
    return instance;
}

std::filesystem::path AppSettings::defaultFile()
{
    const std::filesystem::path base = configHome();
    if (base.empty()) {
        return {};
    }
    return base / "korvane" / "settings.json";
}

AppSettings::AppSettings(std::filesystem::path file, LogSwitch logSwitch)
    : store_(std::make_unique<SettingsStore>(std::move(file), logSwitch == LogSwitch::drive
                                                                  ? SettingsStore::ChangeObserver(followDebugLogging)
                                                                  : SettingsStore::ChangeObserver())),
      logSwitch_(logSwitch)
{
}

AppSettings::~AppSettings()
{
    // Stop the watcher first, or it could switch logging back on after the line below.
    store_.reset();
    if (logSwitch_ == LogSwitch::drive) {
        Logger::setEnabled(false);
    }
}

std::string AppSettings::modelSize() const
{
    const std::optional<std::string> stored = store_->string(SettingsKeys::modelSize);
    return offeredModels().resolve(stored.value_or(std::string()));
}

ModelNameRule AppSettings::offeredModels() const
{
    const std::lock_guard lock(offeredModelsMutex_);
    return offeredModels_;
}

void AppSettings::offerModels(ModelNameRule models)
{
    const std::lock_guard lock(offeredModelsMutex_);
    offeredModels_ = std::move(models);
}

std::optional<std::string> AppSettings::modelCatalogue() const
{
    return store_->string(SettingsKeys::modelCatalogue);
}

bool AppSettings::setModelSize(std::string_view name)
{
    return store_->setString(SettingsKeys::modelSize, name);
}

HotkeyMode AppSettings::hotkeyMode() const
{
    const std::optional<std::string> stored = store_->string(SettingsKeys::hotkeyMode);
    return hotkeyModeFromStored(stored ? std::optional<std::string_view>(*stored) : std::nullopt);
}

bool AppSettings::setHotkeyMode(HotkeyMode mode)
{
    return store_->setString(SettingsKeys::hotkeyMode, storedForm(mode));
}

std::uint16_t AppSettings::hotkeyKeyCode() const
{
    const std::optional<std::int64_t> stored = store_->integer(SettingsKeys::hotkeyKeyCode);
    if (stored && *stored >= 0 && *stored <= std::numeric_limits<std::uint16_t>::max()) {
        return static_cast<std::uint16_t>(*stored);
    }
    return kDefaultHotkeyKeyCode;
}

bool AppSettings::setHotkeyKeyCode(std::uint16_t keyCode)
{
    return store_->setInteger(SettingsKeys::hotkeyKeyCode, keyCode);
}

std::vector<std::string> AppSettings::hotkeyModifiers() const
{
    if (std::optional<std::vector<std::string>> stored = store_->stringArray(SettingsKeys::hotkeyModifiers)) {
        return std::move(*stored);
    }
    return {"ctrl", "shift"};
}

bool AppSettings::setHotkeyModifiers(const std::vector<std::string>& names)
{
    return store_->setStringArray(SettingsKeys::hotkeyModifiers, names);
}

HotkeyBinding AppSettings::hotkeyBinding() const
{
    if (const std::optional<std::string> stored = store_->data(SettingsKeys::hotkeyBindingV2)) {
        if (const auto record = StoredHotkeyBinding::decode(*stored)) {
            if (std::optional<HotkeyBinding> binding = record->binding()) {
                return *binding;
            }
        }
        Logger::log("Stored hotkey binding unreadable -- falling back to legacy keys");
    }
    return HotkeyBinding::migrating(sanitizeLegacyModifierNames(hotkeyModifiers()), hotkeyKeyCode());
}

bool AppSettings::setHotkeyBinding(const HotkeyBinding& binding)
{
    const std::optional<std::string> encoded = binding.isValid() ? StoredHotkeyBinding::encode(binding) : std::nullopt;
    if (!encoded) {
        Logger::log("Refusing to persist invalid hotkey binding");
        return false;
    }
    SettingsBatch batch;
    batch.setData(SettingsKeys::hotkeyBindingV2, *encoded);
    // Older versions read only the legacy keys; they can express key combinations, not chords.
    if (const std::optional<std::uint16_t> keyCode = binding.keyCode()) {
        batch.setStringArray(SettingsKeys::hotkeyModifiers, binding.modifiers().sortedLegacyValues());
        batch.setInteger(SettingsKeys::hotkeyKeyCode, *keyCode);
    }
    return store_->apply(batch);
}

bool AppSettings::hasVersionedHotkeyBinding() const
{
    const std::optional<std::string> stored = store_->data(SettingsKeys::hotkeyBindingV2);
    if (!stored) {
        return false;
    }
    const auto record = StoredHotkeyBinding::decode(*stored);
    return record && record->binding().has_value();
}

bool AppSettings::migrateHotkeyBindingIfNeeded()
{
    if (hasVersionedHotkeyBinding()) {
        return false;
    }
    const HotkeyBinding binding = hotkeyBinding();
    setHotkeyBinding(binding);
    Logger::log("Migrated hotkey binding to versioned storage: " + binding.displayText());
    return true;
}

Vocabulary AppSettings::vocabulary() const
{
    const std::optional<std::string> stored = store_->data(SettingsKeys::vocabularyV1);
    if (!stored) {
        return Vocabulary::starter();
    }
    if (std::optional<Vocabulary> decoded = StoredVocabulary::decode(*stored)) {
        return std::move(*decoded);
    }
    Logger::log("Stored vocabulary unreadable -- treating as empty");
    return Vocabulary();
}

bool AppSettings::setVocabulary(const Vocabulary& vocabulary)
{
    const std::optional<std::string> encoded = StoredVocabulary::encode(vocabulary);
    if (!encoded) {
        return false;
    }
    if (!store_->setData(SettingsKeys::vocabularyV1, *encoded)) {
        return false;
    }
    Logger::log("Vocabulary saved: " + std::to_string(vocabulary.entries().size()) + " entries");
    return true;
}

SettingsTab AppSettings::settingsTab() const
{
    const std::optional<std::string> stored = store_->string(SettingsKeys::settingsTab);
    return settingsTabFromStored(stored ? std::optional<std::string_view>(*stored) : std::nullopt);
}

bool AppSettings::setSettingsTab(SettingsTab tab)
{
    return store_->setString(SettingsKeys::settingsTab, storedForm(tab));
}

std::optional<std::string> AppSettings::vocabularyPrompt() const
{
    return store_->string(SettingsKeys::vocabularyPrompt);
}

std::map<std::string, std::string> AppSettings::pasteKeys() const
{
    return store_->stringMap(SettingsKeys::pasteKeys).value_or(std::map<std::string, std::string>{});
}

bool AppSettings::debugLogging() const
{
    return store_->boolean(SettingsKeys::debugLogging).value_or(false);
}

bool AppSettings::automaticallyChecksForUpdates() const
{
    return store_->boolean(SettingsKeys::automaticallyChecksForUpdates).value_or(true);
}

bool AppSettings::setAutomaticallyChecksForUpdates(bool enabled)
{
    return store_->setBoolean(SettingsKeys::automaticallyChecksForUpdates, enabled);
}

std::optional<std::string> AppSettings::updateFeedUrl() const
{
    std::optional<std::string> stored = store_->string(SettingsKeys::updateFeedURL);
    if (stored && stored->empty()) {
        return std::nullopt;
    }
    return stored;
}

std::optional<std::int64_t> AppSettings::lastUpdateCheck() const
{
    return store_->integer(SettingsKeys::lastUpdateCheck);
}

bool AppSettings::setLastUpdateCheck(std::int64_t secondsSinceEpoch)
{
    return store_->setInteger(SettingsKeys::lastUpdateCheck, secondsSinceEpoch);
}

std::optional<std::string> AppSettings::inputDevice() const
{
    return store_->string(SettingsKeys::inputDevice);
}

std::optional<std::int64_t> AppSettings::unloadModelAfterMinutes() const
{
    if (!store_->contains(SettingsKeys::unloadModelAfterMinutes)) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> minutes = store_->integer(SettingsKeys::unloadModelAfterMinutes);
    if (!minutes || *minutes <= 0) {
        Logger::log("Ignoring \"unloadModelAfterMinutes\": not a positive whole number of minutes -- the model "
                    "stays loaded");
        return std::nullopt;
    }
    return minutes;
}

bool AppSettings::useGpu() const
{
    return store_->boolean(SettingsKeys::useGPU).value_or(true);
}

std::string AppSettings::remoteDesktopRestoreToken() const
{
    return store_->string(SettingsKeys::remoteDesktopRestoreToken).value_or("");
}

bool AppSettings::setRemoteDesktopRestoreToken(std::string_view token)
{
    return store_->setString(SettingsKeys::remoteDesktopRestoreToken, token);
}

bool AppSettings::remoteDesktopRefused() const
{
    return store_->boolean(SettingsKeys::remoteDesktopRefused).value_or(false);
}

bool AppSettings::setRemoteDesktopRefused(bool refused)
{
    return store_->setBoolean(SettingsKeys::remoteDesktopRefused, refused);
}

}  // namespace korvane
