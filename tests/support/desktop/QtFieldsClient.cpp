// SPDX-License-Identifier: MIT
// A Qt Widgets window for the desktop integration tests: a single-line field, a multi-line field, a
// password field and a button (window class "QtFields"). Commands arrive on standard input, one per
// line; answers go to standard output:
//   focus NAME     -> "focused NAME"
//   text NAME      -> "text NAME <contents, newlines as \n>"
//   clear NAME     -> "cleared NAME"
//   geometry NAME  -> "geometry NAME x y width height" (root window coordinates, device pixels)
//   stop-when-walked -> "armed"; the next time an accessibility client asks the window for one of
//                     its children, the client stops itself (SIGSTOP) before it answers: an
//                     application that hangs in the middle of a walk of its tree
//   quit
// With --objects N the window also holds N labels, for tests of large accessibility trees.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>

namespace {

void answer(const QString& line)
{
    std::fputs((line + "\n").toUtf8().constData(), stdout);
    std::fflush(stdout);
}

QString textOf(QWidget* widget)
{
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        return line->text();
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        return plain->toPlainText();
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        return button->text();
    }
    return {};
}

QWidget* stoppingWindow = nullptr;
bool stopWhenWalked = false;

// The window's accessible object as Qt makes it, except that it can be armed to stop the process.
class StoppingWindowAccessible final : public QAccessibleWidget {
public:
    explicit StoppingWindowAccessible(QWidget* window) : QAccessibleWidget(window) {}

    QAccessibleInterface* child(int index) const override
    {
        if (stopWhenWalked) {
            stopWhenWalked = false;
            std::raise(SIGSTOP);
        }
        return QAccessibleWidget::child(index);
    }
};

QAccessibleInterface* accessibleFor(const QString&, QObject* object)
{
    return object != nullptr && object == stoppingWindow ? new StoppingWindowAccessible(stoppingWindow) : nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication::setApplicationName("QtFields");
    QApplication application(argc, argv);
    int objects = 0;
    const QStringList arguments = QApplication::arguments();
    if (const qsizetype at = arguments.indexOf("--objects"); at >= 0 && at + 1 < arguments.size()) {
        objects = arguments.at(at + 1).toInt();
    }

    QWidget window;
    stoppingWindow = &window;
    QAccessible::installFactory(accessibleFor);
    window.setWindowTitle("Qt fields");
    auto* layout = new QVBoxLayout(&window);
    auto* single = new QLineEdit;
    auto* multi = new QPlainTextEdit;
    multi->setFixedHeight(80);
    auto* password = new QLineEdit;
    password->setEchoMode(QLineEdit::Password);
    auto* button = new QPushButton("Press");
    for (QWidget* widget : {static_cast<QWidget*>(single), static_cast<QWidget*>(multi),
                            static_cast<QWidget*>(password), static_cast<QWidget*>(button)}) {
        layout->addWidget(widget);
    }
    if (objects > 0) {
        auto* labels = new QWidget;
        auto* labelsLayout = new QVBoxLayout(labels);
        for (int index = 0; index < objects; ++index) {
            labelsLayout->addWidget(new QLabel(QString("label %1").arg(index)));
        }
        auto* scroll = new QScrollArea;
        scroll->setWidget(labels);
        scroll->setFixedHeight(120);
        layout->addWidget(scroll);
    }
    const std::map<QString, QWidget*> widgets{
        {"single", single}, {"multi", multi}, {"password", password}, {"button", button}};

    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        std::string raw;
        if (!std::getline(std::cin, raw)) {
            QApplication::quit();
            return;
        }
        const QStringList parts = QString::fromStdString(raw).split(' ', Qt::SkipEmptyParts);
        if (parts.isEmpty()) {
            return;
        }
        const QString verb = parts.at(0);
        const QString name = parts.size() > 1 ? parts.at(1) : QString();
        if (verb == "quit") {
            QApplication::quit();
            return;
        }
        if (verb == "stop-when-walked") {
            stopWhenWalked = true;
            answer("armed");
            return;
        }
        const auto found = widgets.find(name);
        if (found == widgets.end()) {
            answer("error unknown widget " + name);
            return;
        }
        QWidget* widget = found->second;
        if (verb == "focus") {
            window.activateWindow();
            widget->setFocus(Qt::OtherFocusReason);
            answer("focused " + name);
        } else if (verb == "text") {
            answer("text " + name + " " + textOf(widget).replace("\\", "\\\\").replace("\n", "\\n"));
        } else if (verb == "clear") {
            if (auto* line = qobject_cast<QLineEdit*>(widget)) {
                line->clear();
            } else if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) {
                text->clear();
            }
            answer("cleared " + name);
        } else if (verb == "geometry") {
            const double ratio = widget->devicePixelRatioF();
            const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
            answer(QString("geometry %1 %2 %3 %4 %5")
                       .arg(name)
                       .arg(qRound(origin.x() * ratio))
                       .arg(qRound(origin.y() * ratio))
                       .arg(qRound(widget->width() * ratio))
                       .arg(qRound(widget->height() * ratio)));
        } else {
            answer("error unknown command " + verb);
        }
    });

    window.resize(420, 320);
    window.show();
    single->setFocus();
    QTimer::singleShot(0, [] { answer("ready"); });
    return QApplication::exec();
}
