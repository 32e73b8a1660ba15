#include "tests/support/desktop/FieldsClient.h"

#include "tests/support/process/Programs.h"

#include <sstream>
#include <stdexcept>
#include <vector>

namespace korvane::testing {

namespace {

using namespace std::chrono_literals;

std::vector<std::string> command(FieldsClient::Toolkit toolkit, int objects)
{
    std::vector<std::string> arguments;
    if (toolkit == FieldsClient::Toolkit::qt) {
        arguments = {KORVANE_QT_FIELDS_CLIENT};
    } else {
        arguments = {"/usr/bin/python3", KORVANE_GTK_FIELDS_CLIENT};
    }
    if (objects > 0) {
        arguments.insert(arguments.end(), {"--objects", std::to_string(objects)});
    }
    return arguments;
}

}  // namespace

std::string xdotool(const std::vector<std::string>& arguments)
{
    std::vector<std::string> bounded{"timeout", "10", "xdotool"};
    bounded.insert(bounded.end(), arguments.begin(), arguments.end());
    return runProgram(bounded);
}

FieldsClient::FieldsClient(Toolkit toolkit, int objects) : toolkit_(toolkit), process_(command(toolkit, objects))
{
    process_.expectLine("ready", 20s);
    const std::string found = xdotool({"search", "--sync", "--onlyvisible", "--pid", std::to_string(process_.pid()),
                                       "--class", "^" + windowClass() + "$"});
    std::istringstream ids(found);
    ids >> window_;
    if (window_ == 0) {
        throw std::runtime_error("no window of " + windowClass() + " appeared");
    }
}

std::string FieldsClient::windowClass() const
{
    return toolkit_ == Toolkit::qt ? "QtFields" : "GtkFields";
}

void FieldsClient::activate()
{
    xdotool({"windowactivate", "--sync", std::to_string(window_)});
}

void FieldsClient::focus(const std::string& field)
{
    ask("focus " + field, "focused " + field);
}

void FieldsClient::clear(const std::string& field)
{
    ask("clear " + field, "cleared " + field);
}

std::string FieldsClient::text(const std::string& field)
{
    const std::string line = ask("text " + field, "text " + field);
    std::string value = line.size() > 6 + field.size() ? line.substr(6 + field.size()) : "";
    std::string decoded;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            decoded += value[i + 1] == 'n' ? '\n' : value[i + 1];
            ++i;
        } else {
            decoded += value[i];
        }
    }
    return decoded;
}

FieldsClient::Geometry FieldsClient::geometry(const std::string& field)
{
    std::istringstream line(ask("geometry " + field, "geometry " + field));
    std::string word;
    std::string name;
    Geometry geometry;
    line >> word >> name >> geometry.x >> geometry.y >> geometry.width >> geometry.height;
    return geometry;
}

void FieldsClient::stopWhenWalked()
{
    ask("stop-when-walked", "armed");
}

std::string FieldsClient::ask(const std::string& request, const std::string& answerPrefix)
{
    process_.writeLine(request);
    return process_.expectLine(answerPrefix, 10s, whileWaiting_);
}

}  // namespace korvane::testing
