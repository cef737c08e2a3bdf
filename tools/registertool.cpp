// velmora-register: the command-line companion that makes registers for Velmora, as a file or on a PostgreSQL
// server, brings in a register from the earlier Access-format program, moves one between the two, and lets the
// data out again as CSV, backs a register up and restores it, shows a register's history of changes, checks that a
// register holds together, records a transfer and prints its register of members. This file reads the command and
// hands it to its family: access/ (import, inspecting an Access file), register/ (init, copy, backup, restore,
// inspect, export), history/ (history, upgrade), check/, transfer/, report/ (report, certificate), company/ and
// holders/ (members, meeting,
// dividend).
//
//   velmora-register init [--demo] [--role NAME] REGISTER      an empty register, or one with sample data
//   velmora-register import [--codepage NAME] ACCESS FILE      a new register file from an Access-format file
//   velmora-register copy [--role NAME] FROM TO                a register into a new one, as a file or on a server
//   velmora-register backup [--force] REGISTER FILE            a register at one moment, while clerks save
//   velmora-register restore BACKUP REGISTER                   a backup in a register file's place, the old kept
//   velmora-register inspect ACCESS|REGISTER                   what an Access-format file or a register holds
//   velmora-register export [--force] [--raw] REGISTER DIR     the three tables as CSV files
//   velmora-register history [--verify] ... REGISTER           the history of changes, or whether it is intact
//   velmora-register upgrade [--role NAME] REGISTER            a register without a history starts one
//   velmora-register check [--csv] [--fix-totals] REGISTER     whether the register holds together
//   velmora-register transfer REGISTER STOCK_NO --to HOLDER [--date DATE]   a certificate to another holder
//   velmora-register report [--force] [--transfers|--inspection] REGISTER FILE
//                                                              the register of members (or of transfers) as a PDF
//   velmora-register certificate [--force] REGISTER FILE [STOCK_NO...]   share certificates as a PDF
//   velmora-register company REGISTER [KEY=VALUE...]           the company's details, printed or set
//   velmora-register members [--on DATE] ... REGISTER          the members holding shares on a day
//   velmora-register meeting --record-date DATE ... REGISTER   the voting list of a record date
//   velmora-register dividend --record-date D --per-share A    a dividend on the holders of a record date
//   velmora-register --version                                 the version of Velmora it belongs to

#include "commandline.h"
#include "commands.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <QTextStream>

#include <cstring>
#include <memory>

using commandline::wrongUsage;

namespace {

const char usage[] = R"(Usage: velmora-register COMMAND ...

Makes registers for Velmora, the share register. A register is the file stock.mdb that
Velmora opens from the folder it runs in, or a database on a PostgreSQL server, given as
postgresql://[user@]host[:port]/database (a socket folder as ?host=/path), or with a
primary and its standbys as host[:port],host[:port] (?host=/a,/b&port=5432,5433), the
one that takes writes used. Wherever a command takes a REGISTER, it takes either. No
message shows a password. No command writes over the register it reads or its journal
files, even with --force; through a link it writes the file the link leads to. A file
made from a register is no more readable than the register (0600 from a server), and an
interrupt leaves no part of it.

Commands:
  init [--demo] [--role NAME] REGISTER
                       Create a new register with the three tables, the company's details and
                       the cancelled certificates, empty, and a history of
                       changes. With --demo, fill it with a small sample register: ten
                       shareholders, fifteen certificates and eight transfers that refer to
                       each other. A file that exists is never touched, nor a database that
                       holds any of the tables: the command refuses them. On a server it also
                       prints the GRANT lines that give the clerks' role (--role, velmora_clerk
                       unless named) only what a clerk needs: reading and changing rows, the
                       row keys' sequences, and reading the history of changes, which the
                       server writes itself and a clerk cannot change.
  import [--codepage NAME] ACCESS_FILE FILE
                       Create a new register file from the Access-format file (Jet 3, Jet 4 or
                       ACE) that the earlier version of Velmora kept as stock.mdb. The rows of
                       stock_data, stockholder and transfer_data are copied in their stored
                       order; tables and columns are matched by name, ignoring case. Prints
                       one line per table, then every value it changed or could not convert.
                       Writes nothing unless the whole import succeeds. --codepage sets the
                       code page of Jet 3 text, for example CP1252 or CP950. To bring it to a
                       server, copy the file there afterwards.
  copy [--role NAME] FROM TO
                       Make a new register TO from the register FROM, file to server, server to
                       file, or either to its own kind: the rows in record order, each value as
                       stored. FROM is read at one moment; TO is made whole or not at all and
                       is refused when it exists (a file) or holds any of the tables (a
                       server). A value a server column cannot take as it is (a text or bytes
                       in a number column of a file, say) stops the copy, naming the table,
                       the record and the column. Prints one line per table. TO's history
                       starts afresh, with one "copy" change per record; FROM's stays in FROM.
                       Onto a server it prints the GRANT lines that init prints.
  backup [--force] REGISTER FILE
                       Write the register, as it is at one moment, into a new register file
                       FILE, while clerks go on saving: every table and the history of changes
                       as they stand, each record under its own row key, so that history
                       --verify finds the copy's history intact. A file is copied page for
                       page, and clerks' saves wait while the pages are read (a save is
                       refused after 1.5 s, keeping the typing); a server is read in one
                       snapshot, and saves go on. The copy is made under a hidden name beside
                       FILE, in a folder made when it is not there, checked (SQLite's
                       integrity check, and each table's rows counted against the
                       register's), and only then moved into place. A FILE that exists is
                       refused, unless --force is given and it is no register, or an earlier
                       backup of this register (its history the beginning of the register's,
                       seal for seal): then the checked copy replaces it in one step. Any
                       other register is never replaced: the refusal names its last change,
                       or its rows when it keeps no history. A failure leaves no copy behind,
                       and FILE as it was. Prints one line: each table's rows and the file
                       written.
  restore BACKUP REGISTER
                       Put the backup BACKUP in place of the register file REGISTER (through a
                       link, the file it leads to). BACKUP is checked first: SQLite's integrity
                       check, and its history of changes intact, as history --verify finds it.
                       The register there is kept beside it as
                       REGISTER.before-restore-<UTC time>, a second name of the same file, so
                       with its mode and group. Clerks' saves wait meanwhile, and a save under
                       way makes restore refuse. The backup's content is made under a hidden
                       name and moved into place in one step; a window still open on the old
                       register refuses its next save and asks to be opened again. BACKUP is
                       never the register itself. A REGISTER on a server is refused: copy a
                       backup into a new database there instead. Prints one line: the rows put
                       in place, and what was replaced and where it is kept.
  inspect [--codepage NAME] ACCESS_FILE
  inspect REGISTER     List the Access file's format, or the register's kind, then its tables
                       with their columns and types, and how many rows each table has; of a
                       register, also whether it keeps a history and how many changes it holds.
  export [--force] [--raw] REGISTER DIR
                       Write stock_data.csv, stockholder.csv and transfer_data.csv into DIR,
                       which is made when it is not there: UTF-8, a header row, the rows in
                       record order, an empty field for no value. A text that starts with
                       = + - @, a tab or a carriage return gets an apostrophe before it, so
                       that a spreadsheet does not run it as a formula; numbers such as -5
                       are left alone. --raw writes every value exactly as stored. Files
                       that exist are only overwritten with --force.
  history [--table T] [--record KEY] [--since DATE] [--csv] REGISTER
                       Show the register's history of changes, newest last: the number of each
                       change, when it was made (UTC), the clerk (and the database role on a
                       server), the table, the record's number, the action, and each field's
                       old and new value. --table keeps one table's changes (stock_data,
                       stockholder or transfer_data); --record every change of a record whose
                       number was ever KEY, followed through a change of its number; --since
                       the changes from a day (YYYY-MM-DD) or a time (YYYY-MM-DDTHH:MM:SS, UTC
                       unless a zone such as +02:00 ends it). --csv writes CSV instead, one line
                       per changed field, with the formula guard of export.
  history --verify REGISTER
                       Check the seals that chain the changes together. Intact, it prints the
                       number of changes and the last seal; note that seal, since the newest
                       changes removed, or the history rewritten and sealed anew, show only by
                       comparing it. Otherwise it names the first change that was altered,
                       removed, inserted or moved, and exits with 1.
  upgrade [--role NAME] REGISTER
                       Add the tables a register made by an earlier version lacks (the
                       company's details, velmora_company, and the cancelled certificates,
                       velmora_cancelled), empty. Make a register that keeps no history start
                       one, with one "upgrade" change per record as it is now; a register that
                       keeps one is left as it is. On a server the server then writes the history itself, also for a
                       register that keeps one without that; the clerks need no new right to
                       save, and it prints the GRANT line that lets them read the history.
  check [--csv] [--fix-totals] REGISTER
                       Check that the register holds together, read at one moment, and print
                       one line per finding, naming the record by its number (and its record
                       number where numbers repeat): a shareholder's total share that is not
                       the sum of the certificates held now; a certificate's original or
                       present holder that is not a shareholder; a transfer of a certificate
                       that does not exist; a certificate whose last transfer (by date, then
                       record order) does not end with its present holder; a certificate or
                       shareholder number given twice; a record without a number; a quantity of
                       none or below zero; a date that is not a real YYYY-MM-DD date; a code
                       outside its hint (type 1 or 2, nature 1 or 2, gender 0 or 1). Another
                       empty value is no finding. A holder or quantity kept as a text or bytes
                       that write a whole number (" 7 ", "7.0") counts as that number, by the
                       same rule in check, --fix-totals and report; any other ("abc", "7.5") is
                       named where it matters, and a quantity that is not a whole number of
                       shares, or below zero, leaves its holder's total unchecked. Control
                       characters and marks that turn text around, in what the register holds,
                       are shown as escapes such as \u001b. Exits with 0 when nothing is found
                       and 1 when something is. --csv writes the findings as CSV (table,
                       row_key, record, finding) with the formula guard of export.
                       --fix-totals, the one option that writes, then prints each total it sets
                       (old → new) and sets them to what each shareholder holds, in one
                       transaction with a history entry for each. While a present holder names
                       no whole number, it sets none and names that holder instead. A total or
                       certificate a clerk changed since the check is left as it is, and named.
                       It exits with 0 only when every finding was a total and each was set.
  transfer REGISTER STOCK_NO --to HOLDER [--date DATE]
           [--shares N --new-numbers BALANCE,NEW]
                       Transfer the certificate STOCK_NO to the shareholder HOLDER on DATE
                       (YYYY-MM-DD, today unless given), in one transaction: add the transfer
                       (the certificate, the date, its present holder as the previous holder,
                       HOLDER, its item code), make HOLDER its present holder and move its
                       quantity from the previous holder's total share to HOLDER's, with a
                       history entry for each row written. Prints one line, with both
                       holders' new totals. Refuses, with one line, exit status 2 and nothing
                       written: a number that names no certificate or shareholder, or more
                       than one; HOLDER holding it already; a date that is not real, before
                       the publish date or before its last transfer (the same day is taken);
                       and a certificate whose last transfer does not end with its present
                       holder, or a holder whose total share is not what they hold (as check
                       finds them; check --fix-totals sets totals). A clerk's save made
                       meanwhile waits up to 1.5 s, as for another clerk's, and is then
                       refused, keeping the typing.
                       With --shares N --new-numbers BALANCE,NEW, only N shares go: the
                       certificate is cancelled on DATE (kept in velmora_cancelled), NEW is
                       issued to HOLDER for N shares with the transfer from the seller, and
                       BALANCE to the seller for the rest, both of its type and item code.
                       N must be from 1 to the quantity less one, and neither number taken.
                       A cancelled certificate is never transferred; check leaves it out of
                       the totals from that day, and names one someone still holds.
  report [--force] [--transfers|--inspection] [--on DATE] [--as-recorded-at MOMENT] REGISTER FILE
                       Write the register of members to FILE as a PDF on A4 pages, to print or
                       to send to an auditor. Its title names the company and its registration
                       number where they are set (see company). It opens with the distribution
                       of shares: each shareholder's part of all shares held, the ten largest
                       holdings as bars and the rest as one, and the holders of more than 10%
                       and of more than 25% named. Then one section per shareholder in number
                       order, with
                       their details, the certificates they hold now and the sum of their
                       quantities, and what the register check found about them, in red; then
                       the transfers in date order, each holder by number and name, the
                       certificates held by no shareholder
                       (none named, or a number no shareholder has), and the findings tied to
                       no shareholder. A certificate is counted once, though two shareholder
                       records share its holder's number. Every page says "page n of N"; a
                       table that goes on over a page shows its header again. The register is
                       read at one moment. FILE is written whole or not at all, and one that
                       exists is replaced only with --force. The text is set in DejaVu Sans and
                       Droid Sans Fallback (the packages fonts-dejavu-core and
                       fonts-droid-fallback), kept in the PDF as text that can be searched and
                       copied, in any script.
                       --transfers writes the register of transfers instead: every transfer by
                       date, with its certificate, the shares it moved, and the holders it moved
                       them from and to, by number and name. --inspection writes the register
                       of members for inspection by anyone: names, addresses, shares and
                       certificates, but no gender, birthday, identity number, telephone or
                       finding; its title says when the register was last changed (the newest
                       change in its history, when it keeps one).
                       With --on or --as-recorded-at (see members), the register of members as
                       on that day or as recorded then: each holder's certificates held then and
                       the transfers up to the day; the title says which.
  certificate [--force] REGISTER FILE [STOCK_NO...]
                       Write a share certificate for each certificate named (every one when
                       none is), one A4 page each in certificate-number order, to FILE as a
                       PDF: the company's name, registration number and registered office; the
                       certificate's number and publish date; its present holder's name and
                       address; the number of shares in figures and in words; the share type's
                       name and nominal value; "fully paid"; its transfers so far by date; and
                       lines for a director's and the secretary's signatures. A certificate
                       whose present holder is no shareholder, or a whole number of shares it
                       does not hold, is refused, as is a number no certificate has and a
                       cancelled certificate (left out when every one is printed); nothing is
                       written then. FILE is written as report writes its PDF.
  company REGISTER [KEY=VALUE...]
                       Print the company's details kept in the register, or set them first:
                       name, number (its registration number), office (its registered office,
                       lines apart by ";"), country, currency, and for the share type whose
                       stock_type code is N: type.N.name, type.N.par (the nominal value per
                       share, a decimal number kept as typed) and type.N.votes (per share). An
                       empty VALUE unsets a detail. Details not set are left out wherever they
                       would be shown. The changes go into the history of changes. A register
                       made before the company's table asks for an upgrade first.
  members [--on DATE] [--as-recorded-at MOMENT] [--over PERCENT] [--csv] REGISTER
                       List the members holding shares, in number order: number, shares, their
                       percentage of all shares (two decimals, exact), certificates and name,
                       then the totals. Without --on, each certificate counts for its present
                       holder. With --on DATE (YYYY-MM-DD), as the register took effect that
                       day: a certificate counts from its publish date (an undated one always),
                       for the new holder of its last transfer dated on or before DATE (by
                       date, then record order; an undated transfer first), else its original
                       holder, else its present holder. On today's date a holder for whom the
                       two views differ is marked * and the check's findings named.
                       --as-recorded-at "YYYY-MM-DD HH:MM[:SS]" (UTC, as history shows times)
                       reads the three tables as they were stored then, rebuilt from the
                       history of changes: a register without one, a moment before its first
                       entry or in the future is refused. --over PERCENT keeps only holders of
                       more than that share (10, 25). --csv writes shareholder_no, name,
                       shares, percent, certificates with the formula guard of export.
  meeting --record-date DATE [--as-recorded-at MOMENT] [--csv | --pdf FILE [--force]] REGISTER
                       The attendance and voting list of the holders on the record date (the
                       --on rule of members): number, shares, votes (one per share), percentage
                       of votes and name, then the totals. --csv writes shareholder_no, name,
                       shares, votes, percent; --pdf writes it on A4 pages with a column to
                       sign.
  dividend --record-date DATE --per-share AMOUNT [--withhold PERCENT]
           [--as-recorded-at MOMENT] [--csv | --pdf FILE [--force]] REGISTER
                       A dividend of AMOUNT per share (digits, up to six decimals, such as
                       0.125) on the holders of the record date: per holder, shares, gross
                       (shares × AMOUNT rounded half away from zero to the cent), the tax
                       withheld at PERCENT of the gross (rounded the same way) and net; then the
                       totals, the sums of the lines, and how far rounding moved the total from
                       shares × AMOUNT. Exact decimal arithmetic throughout. --csv writes
                       shareholder_no, name, shares, gross, withheld, net; --pdf writes the list
                       and then one voucher per holder, with their address.
                       For members, meeting and dividend, a date that is not real, an amount or
                       percentage that is negative or no number, and a --pdf FILE that exists
                       without --force are refused with exit status 2; nothing is written.
  --help               Show this text.
  --version            Show the version.

History of changes:
  A register made by init, import or copy keeps a history of every change a clerk stores:
  who (the login, and the database role on a server), when, the table, the record, and each
  field's old and new value. Each change is sealed with a SHA-256 over its content and the
  seal before it, so history --verify finds a change altered, removed, inserted or moved.
  The newest changes removed, or a change altered with every seal after it made again, leave
  a whole chain: only a last seal noted earlier and compared shows them. A register without
  a history works as before, until upgrade starts one.
  On a file, Velmora writes each entry: a change written by another program is not in the
  history, and a VACUUM renumbers the row keys (older changes name rows by the numbers
  before it). On a server, the server writes each entry itself, in the change's own
  transaction, whoever makes the change and through whatever client, with its own login
  and clock; the clerks' role may only read the history, so a clerk can neither leave a
  change out nor add or rewrite an entry. The register's owner can still change anything.
  check names a server register whose history is not written by the server. copy starts
  TO's history afresh; backup and restore keep it as it is.

Exit status: 0 on success, 1 when the work failed (or check found something), 2 when the
command line is wrong.
)";

QtMessageHandler passedOn = nullptr;

// Starting a QGuiApplication where no desktop session is (cron, a service) warns of a runtime folder the report
// never uses; its own messages are the clerk's.
void withoutRuntimeFolderWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        passedOn(type, context, message);
}

// The PDFs are drawn with QPainter, which needs a QGuiApplication; with no platform chosen it uses the one that
// needs no display. Every other command keeps to QCoreApplication.
std::unique_ptr<QCoreApplication> application(int& argc, char* argv[])
{
    const auto drawsPages = [&] {
        for (const char* command : {"report", "certificate", "meeting", "dividend"}) {
            if (std::strcmp(argv[1], command) == 0)
                return true;
        }
        return false;
    };
    if (argc < 2 || !drawsPages())
        return std::make_unique<QCoreApplication>(argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    passedOn = qInstallMessageHandler(withoutRuntimeFolderWarning);
    auto application = std::make_unique<QGuiApplication>(argc, argv);
    qInstallMessageHandler(passedOn);
    return application;
}

using Run = int (*)(const QStringList&, QTextStream&, QTextStream&);
struct Command {
    const char* name;
    Run run;
};

const Command known[] = {
    {"init", commands::init},         {"import", commands::import},     {"copy", commands::copy},
    {"backup", commands::backup},     {"restore", commands::restore},   {"inspect", commands::inspect},
    {"export", commands::exportCsv},  {"history", commands::history},   {"upgrade", commands::upgrade},
    {"check", commands::check},       {"report", commands::report},     {"certificate", commands::certificate},
    {"company", commands::company},   {"members", commands::members},   {"meeting", commands::meeting},
    {"dividend", commands::dividend}, {"transfer", commands::transfer},
};

} // namespace

int main(int argc, char* argv[])
{
    const std::unique_ptr<QCoreApplication> app = application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return wrongUsage(err, QStringLiteral("no command given"));
    const QString command = arguments.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        out << usage;
        return 0;
    }
    if (command == QLatin1String("--version")) {
        out << "velmora-register " VELMORA_VERSION "\n";
        return 0;
    }
    for (const Command& entry : known) {
        if (command == QLatin1String(entry.name))
            return entry.run(arguments, out, err);
    }
    return wrongUsage(err, QStringLiteral("unknown command %1").arg(command));
}
