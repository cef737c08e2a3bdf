#pragma once

#include <QString>

// A hidden file being built: while one is alive, SIGINT, SIGTERM or SIGHUP removes the file and the journal files
// SQLite keeps beside it before the program ends as the signal asks. A signal the program ignores stays ignored.
class UnfinishedFile {
public:
    explicit UnfinishedFile(const QString& path);
    ~UnfinishedFile();
    UnfinishedFile(const UnfinishedFile&) = delete;
    UnfinishedFile& operator=(const UnfinishedFile&) = delete;

private:
    int m_slot = -1; // in the fixed list the signal handler reads; -1 when none was free
};
