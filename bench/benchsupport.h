#pragma once

#include "status.h"

#include <QString>

#include <functional>

class QSqlDatabase;

// What the benchmarks share: their output, how they stop, a register on the test server, and running the
// measurements on a file and on that server.
namespace bench {

// Ends the run, saying what failed and why.
[[noreturn]] void fail(const QString& doing, const QString& why);
void require(const Status& status, const QString& doing);
void print(const QString& line);

// A schema of its own on the server, first in the URI's search path, holding a register that fill filled in the
// transaction that made it; dropped when this goes.
class ServerRegister {
public:
    ServerRegister(const QString& admin, const std::function<Status(QSqlDatabase&)>& fill);
    ~ServerRegister();
    ServerRegister(const ServerRegister&) = delete;
    ServerRegister& operator=(const ServerRegister&) = delete;

    const QString& uri() const { return m_uri; }

private:
    void run(const QString& statement) const;

    QString m_admin;
    QString m_schema;
    QString m_uri;
};

// Measures a register file, then, when VELMORA_TEST_SERVER names a server, a register there; measure is given
// the server's URI, or nothing for the file, and says whether the targets were met. Returns the exit status.
int onEachEngine(const std::function<bool(const QString& server)>& measure);

} // namespace bench
