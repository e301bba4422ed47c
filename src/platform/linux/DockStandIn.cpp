// tandrill-dock: the Dock of a Linux session, and launchd, which keeps a Mac's Dock running.
//
// It keeps one process named "Dock" alive. Ended (a pull's restart signals every "Dock" of the user,
// as `killall Dock` does on a Mac), that process is started again a moment later. Each start reads
// the Dock file and, as the Dock does after a restart, writes it back with its bookkeeping renewed:
// a higher change counter and a new stamp, in the binary form. So Tandrill on Linux meets what it
// meets on a Mac: a Dock that comes back with a new process id, and a file that changes after the
// pull that wrote it without changing the layout.
//
//   tandrill-dock [--file PATH] [--with-parent]
//
// PATH defaults to ~/Library/Preferences/com.apple.dock.plist, where Tandrill keeps the Dock file on
// Linux. With --with-parent it ends when the process that started it ends (run.sh starts it so).
// SIGTERM or SIGINT end it and its Dock.
#include "DockPlist.h"
#include "SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The counter one higher and a new stamp; everything else, the order of the keys included, stays.
// None for what is not a Dock's dictionary: that file is left as it is.
std::optional<QByteArray> renewBookkeeping(const QByteArray &bytes)
{
    const DockPlist::Ptr root = DockPlist::parse(bytes);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;
    uint64_t count = 0;
    if (plist_t counter = DockPlist::item(root.get(), "mod-count");
        counter && plist_get_node_type(counter) == PLIST_UINT)
        plist_get_uint_val(counter, &count);
    plist_dict_set_item(root.get(), "mod-count", plist_new_uint(count + 1));
    plist_dict_set_item(root.get(), "last-messagetrace-stamp",
                        plist_new_real(double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - 978307200.0));
    return DockPlist::toBinary(root.get());
}

// The Dock itself: rewrites its file once it is up, then shows it until it is ended.
[[noreturn]] void runDock(const QString &path)
{
    ::prctl(PR_SET_NAME, "Dock");
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr); // ended by the first SIGTERM, as the Dock is
    ::usleep(300'000);                          // a Dock writes its file a moment after it started, not at once
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        file.close();
        if (const auto renewed = renewBookkeeping(bytes); renewed && *renewed != bytes) {
            if (const SafeFile::IoResult written = SafeFile::writeAtomically(path, *renewed); !written.ok())
                std::fprintf(stderr, "Dock: %s\n", qPrintable(written.description));
        }
    }
    for (;;)
        ::pause();
}

} // namespace

int main(int argc, char *argv[])
{
    QString path = QDir::homePath() + QStringLiteral("/Library/Preferences/com.apple.dock.plist");
    bool withParent = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc) {
            path = QFile::decodeName(argv[++i]);
        } else if (std::strcmp(argv[i], "--with-parent") == 0) {
            withParent = true;
        } else {
            std::fprintf(stderr, "usage: %s [--file PATH] [--with-parent]\n", argv[0]);
            return 2;
        }
    }
    // The signals that matter are taken one at a time where this waits for them, never in between.
    sigset_t watched;
    sigemptyset(&watched);
    for (const int each : {SIGTERM, SIGINT, SIGCHLD})
        sigaddset(&watched, each);
    ::sigprocmask(SIG_BLOCK, &watched, nullptr);
    if (withParent) {
        const pid_t parent = ::getppid();
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent || parent == 1)
            return 0; // the parent ended before the signal was asked for
    }

    for (;;) {
        const pid_t dock = ::fork();
        if (dock < 0) {
            std::perror("tandrill-dock: fork");
            return 1;
        }
        if (dock == 0)
            runDock(path);
        int taken = 0;
        while (taken != SIGCHLD || ::waitpid(dock, nullptr, WNOHANG) == 0) {
            taken = ::sigwaitinfo(&watched, nullptr);
            if (taken == SIGTERM || taken == SIGINT) {
                ::kill(dock, SIGTERM);
                ::waitpid(dock, nullptr, 0);
                return 0;
            }
        }
        // launchd waits a moment before it starts an ended Dock again; so does this.
        const timespec pause{0, 500'000'000};
        for (taken = 0; taken != -1;) {
            taken = ::sigtimedwait(&watched, nullptr, &pause);
            if (taken == SIGTERM || taken == SIGINT)
                return 0;
        }
    }
}
