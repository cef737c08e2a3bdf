#include "classiclook.h"
#include "qtdialogs.h"
#include "shell.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The program ends only when the clerk ends it, never because a window closed.
    QApplication::setQuitOnLastWindowClosed(false);
    classiclook::apply();

    QtDialogs dialogs;
    // The register sits beside the program.
    Shell shell(dialogs, QCoreApplication::applicationDirPath());
    QObject::connect(&shell, &Shell::finished, &app, [] { QCoreApplication::exit(0); });
    shell.start();
    return QApplication::exec();
}
