#include "classiclook.h"
#include "qtdialogs.h"
#include "shell.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

const char usage[] = R"(Usage: velmora [--help | --version]

Velmora keeps a company's share register: its share certificates, its shareholders and the
transfers between them. It opens the register stock.mdb in the folder the program is in, or
the database on a PostgreSQL server that velmora.conf in that folder names. Installed, these
are /opt/velmora/stock.mdb, a link to the register /var/lib/velmora/stock.mdb, and
/opt/velmora/velmora.conf, a link to /etc/velmora/velmora.conf. velmora-register makes,
converts, backs up and restores registers; see velmora-register --help.

  --help     Show this text.
  --version  Show the version.
)";

} // namespace

int main(int argc, char* argv[])
{
    // Asked for its version or its usage alone, the program answers without a display and shows no window.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("velmora " VELMORA_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
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
