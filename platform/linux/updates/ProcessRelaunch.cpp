#include "platform/linux/updates/ProcessRelaunch.h"

#include <QCoreApplication>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <linux/close_range.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace korvane {

ProcessRelaunch::ProcessRelaunch(std::filesystem::path executable, std::vector<std::string> arguments)
    : executable_(std::move(executable)), arguments_(std::move(arguments))
{
}

ProcessRelaunch ProcessRelaunch::ofThisProcess()
{
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        executable = QCoreApplication::applicationFilePath().toStdString();
    }
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments()) {
        arguments.push_back(argument.toStdString());
    }
    return ProcessRelaunch(std::move(executable), std::move(arguments));
}

std::string ProcessRelaunch::exec() const
{
    std::vector<char*> argv;
    argv.reserve(arguments_.size() + 2);
    std::string zeroth = arguments_.empty() ? executable_.string() : std::string();
    if (arguments_.empty()) {
        argv.push_back(zeroth.data());
    }
    for (const std::string& argument : arguments_) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    // Not closed outright: when exec fails this process goes on with them.
    ::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execv(executable_.c_str(), argv.data());
    return std::string("cannot start ") + executable_.string() + ": " + std::strerror(errno);
}

}  // namespace korvane
