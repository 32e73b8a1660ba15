#pragma once

#include "base/logging/Logger.h"
#include "tests/support/TempHome.h"

#include <sstream>
#include <string>
#include <vector>

namespace korvane::testing {

// The transcriber's own lines in the debug log of the current temporary home, without time stamps
// and without what whisper.cpp or the speech detector wrote in between. Logs while it lives.
class TranscriberLog {
public:
    TranscriberLog() { Logger::setEnabled(true); }
    ~TranscriberLog() { Logger::setEnabled(false); }
    TranscriberLog(const TranscriberLog&) = delete;
    TranscriberLog& operator=(const TranscriberLog&) = delete;

    std::vector<std::string> messages() const
    {
        std::vector<std::string> found;
        std::istringstream lines(readFile(Logger::logFilePath()));
        for (std::string line; std::getline(lines, line);) {
            const std::string message = line.substr(line.find(' ') + 1);
            if (!message.starts_with("whisper.cpp: ") && !message.starts_with("Speech check: ")) {
                found.push_back(message);
            }
        }
        return found;
    }
};

}  // namespace korvane::testing
