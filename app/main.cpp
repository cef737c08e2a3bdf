#include "classiclook.h"
#include "qtdialogs.h"
#include "shell.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    // Asked for its version alone, the program answers without a display and shows no window.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("velmora " VELMORA_VERSION);
        return 0;
    }
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
