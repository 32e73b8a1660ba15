// Korvane: local speech-to-text dictation from the system tray.
#include "app/QtMainQueue.h"
#include "app/SignalQuitter.h"
#include "core/logging/Logger.h"

#include <QApplication>

#include <string>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Korvane");
    QApplication::setQuitOnLastWindowClosed(false);

    korvane::SignalQuitter quitter;  // SIGTERM and SIGINT end the event loop cleanly
    korvane::QtMainQueue mainQueue(&application);

    korvane::Logger::log(std::string(40, '='));
    korvane::Logger::log("Korvane (C++) starting");

    const int status = QApplication::exec();
    korvane::Logger::log("Korvane exiting");
    return status;
}
