#include "ui/logic/AutostartEntry.h"

namespace korvane {

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The escapes every string value of a desktop entry may carry.
std::optional<std::string> unescapeValue(std::string_view value)
{
    std::string result;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            result += value[i];
            continue;
        }
        if (++i == value.size()) {
            return std::nullopt;
        }
        switch (value[i]) {
        case 's':
            result += ' ';
            break;
        case 'n':
            result += '\n';
            break;
        case 't':
            result += '\t';
            break;
        case 'r':
            result += '\r';
            break;
        case '\\':
            result += '\\';
            break;
        default:
            // Not a string escape: it belongs to the quoting of the Exec line.
            result += '\\';
            result += value[i];
            break;
        }
    }
    return result;
}

}  // namespace

std::string quotedExecArgument(std::string_view argument)
{
    // Inside double quotes a backslash must precede " ` $ and \. The Exec value is also a string
    // value, whose own escaping doubles every backslash once more, and % starts a field code.
    std::string quoted = "\"";
    for (char c : argument) {
        switch (c) {
        case '"':
        case '`':
        case '$':
            quoted += "\\\\";
            quoted += c;
            break;
        case '\\':
            quoted += "\\\\\\\\";
            break;
        case '%':
            quoted += "%%";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\t':
            quoted += "\\t";
            break;
        case '\r':
            quoted += "\\r";
            break;
        default:
            quoted += c;
            break;
        }
    }
    quoted += '"';
    return quoted;
}

std::string autostartEntryText(const std::filesystem::path& executable, bool hidden)
{
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Korvane\n"
                       "Comment=Local speech-to-text dictation\n"
                       "Exec=" +
                       quotedExecArgument(executable.string()) +
                       "\n"
                       "Terminal=false\n"
                       "X-GNOME-Autostart-enabled=true\n";
    if (hidden) {
        text += "Hidden=true\n";
    }
    return text;
}

AutostartEntry parseAutostartEntry(std::string_view text)
{
    AutostartEntry entry;
    bool inMainGroup = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inMainGroup || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = trimmed(line.substr(0, equals));
        const std::string_view value = trimmed(line.substr(equals + 1));
        if (key == "Hidden") {
            entry.hidden = value == "true";
        } else if (key == "X-GNOME-Autostart-enabled") {
            entry.disabledByDesktop = value == "false";
        } else if (key == "Exec") {
            entry.exec = std::string(value);
        }
    }
    return entry;
}

std::optional<std::vector<std::string>> splitExec(std::string_view value)
{
    const std::optional<std::string> unescaped = unescapeValue(value);
    if (!unescaped) {
        return std::nullopt;
    }
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    const std::string& line = *unescaped;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\') {
                if (i + 1 == line.size()) {
                    return std::nullopt;
                }
                const char next = line[++i];
                if (next != '"' && next != '`' && next != '$' && next != '\\') {
                    return std::nullopt;
                }
                current += next;
            } else if (c == '%') {
                if (i + 1 == line.size() || line[i + 1] != '%') {
                    return std::nullopt;
                }
                current += '%';
                ++i;
            } else {
                current += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inArgument) {
                arguments.push_back(std::move(current));
                current.clear();
                inArgument = false;
            }
            continue;
        }
        inArgument = true;
        if (c == '"') {
            quoted = true;
        } else if (c == '%') {
            if (i + 1 == line.size() || line[i + 1] != '%') {
                return std::nullopt;
            }
            current += '%';
            ++i;
        } else {
            current += c;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    if (inArgument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

}  // namespace korvane
