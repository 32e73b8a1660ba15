#include "delivery/paste/KeyboardLayoutNames.h"

#include <array>
#include <cctype>
#include <utility>

namespace korvane {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool isNameCharacter(char c, bool first)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' ||
           (!first && std::isdigit(static_cast<unsigned char>(c)) != 0);
}

// One `NAME=value` line as sh reads it: the value ends at the first unquoted blank, and quoted
// and bare pieces join ("de"_'x' is de_x). Nothing for anything else: a command, a line with a
// quote left open, or words after the value (sh would run them as a command).
std::optional<std::pair<std::string, std::string>> parseAssignment(std::string_view line)
{
    std::size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < line.size() && isBlank(line[at])) {
            ++at;
        }
    };
    skipBlanks();
    if (line.substr(at).starts_with("export") && at + 6 < line.size() && isBlank(line[at + 6])) {
        at += 6;
        skipBlanks();
    }
    const std::size_t nameStart = at;
    while (at < line.size() && isNameCharacter(line[at], at == nameStart)) {
        ++at;
    }
    if (at == nameStart || at >= line.size() || line[at] != '=') {
        return std::nullopt;
    }
    std::string name(line.substr(nameStart, at - nameStart));
    ++at;
    std::string value;
    while (at < line.size() && !isBlank(line[at])) {
        const char c = line[at++];
        if (c == '\'') {
            const std::size_t end = line.find('\'', at);
            if (end == std::string_view::npos) {
                return std::nullopt;
            }
            value += line.substr(at, end - at);
            at = end + 1;
        } else if (c == '"') {
            for (;; ++at) {
                if (at >= line.size()) {
                    return std::nullopt;
                }
                if (line[at] == '"') {
                    ++at;
                    break;
                }
                // Within double quotes a backslash escapes only these; elsewhere it stays.
                if (line[at] == '\\' && at + 1 < line.size() &&
                    std::string_view("\"\\$`").find(line[at + 1]) != std::string_view::npos) {
                    ++at;
                }
                value += line[at];
            }
        } else if (c == '\\' && at < line.size()) {
            value += line[at++];
        } else {
            value += c;
        }
    }
    skipBlanks();
    if (at < line.size() && line[at] != '#') {
        return std::nullopt;
    }
    return std::pair{std::move(name), std::move(value)};
}

}  // namespace

std::optional<KeyboardLayoutNames> parseKeyboardDefaults(std::string_view text)
{
    KeyboardLayoutNames names;
    const std::array<std::pair<std::string_view, std::string*>, 4> fields{{
        {"XKBMODEL", &names.model},
        {"XKBLAYOUT", &names.layout},
        {"XKBVARIANT", &names.variant},
        {"XKBOPTIONS", &names.options},
    }};
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const auto assignment = parseAssignment(line);
        if (!assignment) {
            continue;
        }
        for (const auto& [key, field] : fields) {
            if (assignment->first == key) {
                *field = assignment->second;
            }
        }
    }
    if (names.layout.empty()) {
        return std::nullopt;
    }
    return names;
}

KeyboardLayoutNames chooseLayoutNames(const EnvironmentLookup& environment,
                                      const std::optional<std::string>& keyboardDefaults)
{
    const auto variable = [&environment](const char* name) { return environment(name).value_or(""); };
    KeyboardLayoutNames fromEnvironment{variable("XKB_DEFAULT_MODEL"), variable("XKB_DEFAULT_LAYOUT"),
                                        variable("XKB_DEFAULT_VARIANT"), variable("XKB_DEFAULT_OPTIONS")};
    if (!fromEnvironment.layout.empty()) {
        return fromEnvironment;
    }
    if (keyboardDefaults) {
        if (std::optional<KeyboardLayoutNames> configured = parseKeyboardDefaults(*keyboardDefaults)) {
            return *configured;
        }
    }
    return KeyboardLayoutNames{"", "us", "", ""};
}

}  // namespace korvane
