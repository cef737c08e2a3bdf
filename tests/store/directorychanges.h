#pragma once

#include <QFile>
#include <QString>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

// The changes to the files of one directory as they happen (Linux inotify), so that a test can act at a point
// inside another process's save without waiting on time.
class DirectoryChanges {
public:
    explicit DirectoryChanges(const QString& directory)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd >= 0
            && inotify_add_watch(m_fd, QFile::encodeName(directory).constData(), IN_CREATE | IN_MODIFY | IN_DELETE)
                   < 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~DirectoryChanges()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    DirectoryChanges(const DirectoryChanges&) = delete;
    DirectoryChanges& operator=(const DirectoryChanges&) = delete;

    bool isValid() const { return m_fd >= 0; }

    // Forgets every change seen so far.
    void discard()
    {
        char buffer[4096];
        while (::read(m_fd, buffer, sizeof buffer) > 0) {
        }
    }

    // Waits for the next change, taking every change that came with it; false if none came within the time.
    bool waitForChange(int timeoutMs)
    {
        pollfd watched{m_fd, POLLIN, 0};
        if (::poll(&watched, 1, timeoutMs) <= 0)
            return false;
        discard();
        return true;
    }

private:
    int m_fd = -1;
};
