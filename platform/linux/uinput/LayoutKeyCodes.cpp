#include "platform/linux/uinput/LayoutKeyCodes.h"

#include "base/files/PosixFile.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <utility>

namespace korvane {

namespace {

// xkbcommon numbers keys as X does, evdev's code plus 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

struct ContextFree {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapFree {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};

const char* orNull(const std::string& name)
{
    return name.empty() ? nullptr : name.c_str();
}

std::string describe(const KeyboardLayoutNames& names)
{
    std::string text = names.layout;
    for (const std::string* part : {&names.variant, &names.model, &names.options}) {
        if (!part->empty()) {
            text += " " + *part;
        }
    }
    return text;
}

std::optional<std::string> keyboardDefaultsFile()
{
    UniqueFd fd(::open("/etc/default/keyboard", O_RDONLY | O_CLOEXEC));
    return fd ? readAll(fd.get()) : std::nullopt;
}

}  // namespace

std::optional<LayoutKeyCodes> LayoutKeyCodes::compile(const KeyboardLayoutNames& names)
{
    // The names are chosen already; xkbcommon must not fill gaps from the environment behind them.
    const std::unique_ptr<xkb_context, ContextFree> context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context) {
        return std::nullopt;
    }
    // A layout that does not compile is reported by our caller, in our log; xkbcommon's own account
    // of it would only clutter the terminal.
    xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);
    const xkb_rule_names rules{"evdev", orNull(names.model), orNull(names.layout), orNull(names.variant),
                               orNull(names.options)};
    const std::unique_ptr<xkb_keymap, KeymapFree> keymap(
        xkb_keymap_new_from_names(context.get(), &rules, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        return std::nullopt;
    }
    LayoutKeyCodes table;
    const xkb_keycode_t first = std::max(xkb_keymap_min_keycode(keymap.get()), kEvdevOffset);
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap.get());
    for (const xkb_level_index_t level : {0U, 1U}) {
        for (xkb_keycode_t key = first; key <= last; ++key) {
            const xkb_keysym_t* symbols = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap.get(), key, 0, level, &symbols);
            for (int i = 0; i < count; ++i) {
                // emplace keeps the first: the unshifted level, then the lower key code.
                table.codes_.emplace(symbols[i], key - kEvdevOffset);
            }
        }
    }
    return table;
}

std::optional<unsigned> LayoutKeyCodes::evdevCode(const std::string& keysymName) const
{
    const xkb_keysym_t keysym = xkb_keysym_from_name(keysymName.c_str(), XKB_KEYSYM_NO_FLAGS);
    if (keysym == XKB_KEY_NoSymbol) {
        return std::nullopt;
    }
    const auto found = codes_.find(keysym);
    return found != codes_.end() ? std::optional(found->second) : std::nullopt;
}

KeyCodeLookup keyCodesFor(const KeyboardLayoutNames& names, const LogSink& log)
{
    const KeyboardLayoutNames us{"", "us", "", ""};
    std::optional<LayoutKeyCodes> layout = LayoutKeyCodes::compile(names);
    if (layout) {
        log("uinput: paste keys for the layout " + describe(names));
    } else {
        log("uinput: the layout " + describe(names) + " does not compile; paste keys for the US layout");
    }
    std::optional<LayoutKeyCodes> fallback = names == us ? std::nullopt : LayoutKeyCodes::compile(us);
    return [layout = std::move(layout), fallback = std::move(fallback)](const std::string& name) {
        std::optional<unsigned> code = layout ? layout->evdevCode(name) : std::nullopt;
        if (!code && fallback) {
            code = fallback->evdevCode(name);
        }
        return code;
    };
}

KeyCodeLookup sessionKeyCodes(const LogSink& log)
{
    const EnvironmentLookup environment = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    return keyCodesFor(chooseLayoutNames(environment, keyboardDefaultsFile()), log);
}

}  // namespace korvane
