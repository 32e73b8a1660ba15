// SPDX-License-Identifier: MIT
// Takes the X11 CLIPBOARD with the formats given on the command line and counts the requests it
// serves, for the paste integration tests.
//   korvane_clipboard_owner --format MIME=TEXT --format MIME=@FILE ...
// Prints "ready" once it owns the clipboard. Commands on standard input, one per line:
//   served MIME -> "served MIME N": how often another client asked for that format
//   owner       -> "owner yes" or "owner no"
//   quit
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>

namespace {

std::map<QString, int> served;

// Counts every time Qt hands our data to a requesting client.
class CountingMimeData final : public QMimeData {
protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        ++served[mimeType];
        return QMimeData::retrieveData(mimeType, type);
    }
};

void answer(const QString& line)
{
    std::fputs((line + "\n").toUtf8().constData(), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    auto* contents = new CountingMimeData;
    const QStringList arguments = QGuiApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) != "--format") {
            continue;
        }
        const QString format = arguments.at(++i);
        const qsizetype equals = format.indexOf('=');
        const QString mime = format.left(equals);
        const QString value = format.mid(equals + 1);
        if (value.startsWith('@')) {
            QFile file(value.mid(1));
            file.open(QIODevice::ReadOnly);
            contents->setData(mime, file.readAll());
        } else {
            contents->setData(mime, value.toUtf8());
        }
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(contents, QClipboard::Clipboard);

    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        std::string raw;
        if (!std::getline(std::cin, raw)) {
            QGuiApplication::quit();
            return;
        }
        const QStringList parts = QString::fromStdString(raw).split(' ', Qt::SkipEmptyParts);
        if (parts.isEmpty()) {
            return;
        }
        if (parts.at(0) == "quit") {
            QGuiApplication::quit();
        } else if (parts.at(0) == "served" && parts.size() > 1) {
            answer(QString("served %1 %2").arg(parts.at(1)).arg(served[parts.at(1)]));
        } else if (parts.at(0) == "owner") {
            answer(clipboard->ownsClipboard() ? "owner yes" : "owner no");
        }
    });
    QTimer::singleShot(0, [] { answer("ready"); });
    return QGuiApplication::exec();
}
