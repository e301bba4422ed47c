#pragma once

#include "TestCommon.h"

#include <functional>

// Simulated Macs whose folders a sync service keeps in step (carry: true once it has), and the
// changes each made. A change is kept when every Mac ends on it or on a Dock built on it, or flagged
// when its Mac was shown a conflict after making it; anything else was lost in silence.
class MacGroup {
public:
    explicit MacGroup(std::function<bool()> carry) : m_carry(std::move(carry)) {}

    void add(const QString &name, const QString &folder, const QString &root)
    {
        m_macs.push_back(std::make_unique<SimulatedMac>(name, folder, root));
        m_macs.back()->dock().setRewritesOnRestart(true);
        m_all.append(m_macs.back().get());
    }
    SimulatedMac &mac(int index) { return *m_all[index]; }

    // A change of a Mac's Dock, a minute after the previous one and in the past, as a Dock file's
    // time always lies before the moment the service carries it. It builds on the Dock the Mac held.
    void edit(int index, const QByteArray &dock)
    {
        const QByteArray before = mac(index).dockBytes();
        m_basis[dock] = m_basis[before];
        m_basis[dock].insert(before);
        m_changes.push_back({index, dock});
        give(index, dock);
    }
    // A Dock of the Mac's own from before the group shared one: no change it has to keep.
    void give(int index, const QByteArray &dock) { mac(index).writeDock(dock, m_clock += 60); }
    Kind run(int index, Mode mode = Mode::Auto)
    {
        const Kind kind = mac(index).run(mode).kind();
        if (kind == Kind::Conflict)
            flag(index);
        m_dockEverLost = m_dockEverLost || mac(index).dockBytes().isEmpty();
        return kind;
    }

    // Rounds of automatic runs, one Mac at a time on a folder the service has carried in step; a
    // conflict is resolved as the user would, by taking the shared Dock. True once a whole round
    // finds every Mac (of `macs`, or all) in sync.
    bool settle(int maxRounds, const QList<int> &macs = {})
    {
        for (int round = 0; round < maxRounds; ++round) {
            bool allInSync = true;
            for (int i = 0; i < int(m_all.size()); ++i) {
                if (!macs.isEmpty() && !macs.contains(i))
                    continue;
                int conflicts = 0;
                if (!m_carry())
                    return false;
                allInSync = settleMacs({m_all[i]}, 1, &conflicts) && allInSync;
                if (conflicts > 0)
                    flag(i);
            }
            if (allInSync)
                return true;
        }
        return false;
    }

    // Mac A shares the first Dock; each other member takes it as the user would when joining (a pull).
    bool startInSync(const QList<int> &members)
    {
        edit(0, "the group's Dock");
        if (run(0) != Kind::Pushed || !m_carry())
            return false;
        for (int i : members) {
            if (i == 0)
                continue;
            give(i, "factory Dock of " + mac(i).hostname().toUtf8());
            if (run(i, Mode::Pull) != Kind::Pulled)
                return false;
        }
        return settle(2, members);
    }
    bool quiet(int rounds) { return staysQuiet(m_all, rounds, m_carry); }
    bool dockEverLost() const { return m_dockEverLost; }

    // The changes that are neither the Dock every Mac holds nor one it was built on, though the Mac
    // that made them was not shown a conflict after making them.
    QStringList silentlyLost() const
    {
        QStringList lost;
        const QByteArray final = m_all.first()->dockBytes();
        const bool allEqual =
            std::all_of(m_all.begin(), m_all.end(), [&](SimulatedMac *m) { return m->dockBytes() == final; });
        for (const Change &change : m_changes) {
            const bool kept = allEqual && (change.dock == final || m_basis.value(final).contains(change.dock));
            if (!kept && !change.flagged)
                lost.append(u"%1's \"%2\""_s.arg(m_all[change.mac]->hostname(), QString::fromUtf8(change.dock)));
        }
        return lost;
    }
    QString docks() const
    {
        QStringList docks;
        for (SimulatedMac *m : m_all)
            docks.append(m->hostname() + u": "_s + QString::fromUtf8(m->dockBytes()));
        return docks.join(u", "_s);
    }

private:
    struct Change {
        int mac;
        QByteArray dock;
        bool flagged = false; // a conflict was shown on its Mac after it was made
    };
    void flag(int index)
    {
        for (Change &change : m_changes)
            change.flagged = change.flagged || change.mac == index;
    }

    std::function<bool()> m_carry;
    std::vector<std::unique_ptr<SimulatedMac>> m_macs;
    QList<SimulatedMac *> m_all;
    std::vector<Change> m_changes;
    QHash<QByteArray, QSet<QByteArray>> m_basis; // the Docks a Dock was built on
    double m_clock = double(QDateTime::currentSecsSinceEpoch() - 10 * 24 * 3600);
    bool m_dockEverLost = false;
};
