#include "unfinishedfile.h"

#include "registerpath.h"

#include <QFile>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace {

constexpr std::size_t longestName = PATH_MAX + 16;
constexpr std::array<int, 3> endingSignals{SIGINT, SIGTERM, SIGHUP};

// Fixed storage only: the handler may neither allocate nor lock.
struct Slot {
    std::atomic<bool> used{false};
    char names[1 + registerpath::journalSuffixes.size()][longestName]{}; // the file, then SQLite's files beside it
};
std::array<Slot, 8> building;
static_assert(std::atomic<bool>::is_always_lock_free);

int alive = 0; // files being built; the handler is installed while there are any
std::array<struct sigaction, endingSignals.size()> before{};

void removeAndEnd(int signal)
{
    const int kept = errno;
    for (Slot& slot : building) {
        if (!slot.used.load(std::memory_order_acquire))
            continue;
        for (const char* name : slot.names)
            ::unlink(name);
    }
    // Ended as by the signal itself, so whoever waits for the program sees it was interrupted.
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    ::sigaction(signal, &plain, nullptr);
    ::raise(signal);
    errno = kept;
}

void install()
{
    struct sigaction handler {};
    handler.sa_handler = removeAndEnd;
    sigemptyset(&handler.sa_mask);
    for (const int signal : endingSignals)
        sigaddset(&handler.sa_mask, signal);
    for (std::size_t i = 0; i < endingSignals.size(); ++i) {
        ::sigaction(endingSignals[i], nullptr, &before[i]);
        if (before[i].sa_handler != SIG_IGN)
            ::sigaction(endingSignals[i], &handler, nullptr);
    }
}

void restore()
{
    for (std::size_t i = 0; i < endingSignals.size(); ++i)
        ::sigaction(endingSignals[i], &before[i], nullptr);
}

} // namespace

UnfinishedFile::UnfinishedFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    if (std::size_t(name.size()) + 16 >= longestName)
        return; // too long to keep; an interrupt leaves it, as a crash would
    for (std::size_t i = 0; i < building.size(); ++i) {
        Slot& slot = building[i];
        if (slot.used.load(std::memory_order_relaxed))
            continue;
        for (char* kept : slot.names)
            std::memcpy(kept, name.constData(), name.size() + 1);
        for (std::size_t s = 0; s < registerpath::journalSuffixes.size(); ++s)
            std::strcpy(slot.names[s + 1] + name.size(), registerpath::journalSuffixes[s]);
        slot.used.store(true, std::memory_order_release);
        m_slot = int(i);
        if (alive++ == 0)
            install();
        return;
    }
}

UnfinishedFile::~UnfinishedFile()
{
    if (m_slot < 0)
        return;
    building[m_slot].used.store(false, std::memory_order_release);
    if (--alive == 0)
        restore();
}
