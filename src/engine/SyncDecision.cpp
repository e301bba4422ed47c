#include "SyncDecision.h"

#include <span>

namespace SyncDecision {

namespace {

using enum Step;
using enum Reason;
using O = Observation;

struct Rule {
    bool (*applies)(const O &);
    Action action;
};

constexpr Action conflict(Reason reason, ConflictCause cause)
{
    return {Conflict, reason, cause};
}

// Read top to bottom; the first rule that applies decides.

// What cannot be read decides nothing, and what is missing is simply taken.
constexpr Rule kFirstRules[] = {
    {[](const O &o) { return o.local == DockState::Broken; }, {Error, LocalBroken}},
    {[](const O &o) { return o.shared == DockState::Unavailable; }, {Wait, SharedUnavailable}},
    {[](const O &o) { return o.shared == DockState::Broken; }, {Error, SharedBroken}},
    // A meta file without its copy: the copy is on its way. An empty folder is the first sync;
    // with no Dock here either, the push says what is missing.
    {[](const O &o) { return o.shared == DockState::Absent && o.metaPresent; }, {Wait, CopyOnItsWay}},
    {[](const O &o) { return o.shared == DockState::Absent; }, {Push, FirstSync}},
};

// The meta file names the Dock its push holds and the ones that push built on.
constexpr Rule kIdentityRules[] = {
    // The copy the meta file describes is still coming; the one here is already replaced.
    {[](const O &o) { return o.arrival == Arrival::OnItsWay; }, {Wait, CopyOnItsWay}},
    // A copy from a push whose meta file was replaced, or is still coming: only the Mac whose push
    // it is can tell its history, and shares it again; every other Mac waits for the folder to
    // agree with itself (a push that built on its own then shows, and one that did not is flagged).
    {[](const O &o) { return o.arrival == Arrival::Stray && o.copyIsOwnPush; }, {Push, RestoreOwnPush}},
    {[](const O &o) { return o.arrival == Arrival::Stray; }, {Wait, CopyOnItsWay}},
    {[](const O &o) { return o.localSameAsShared; }, {InSync, Equal}},
    {[](const O &o) { return o.local == DockState::Absent; }, {Pull, LocalOnly}},
    // A Mac that never agreed, with another Dock, does not get to choose: the user does.
    {[](const O &o) { return !o.hasAgreed; }, conflict(Joining, ConflictCause::Joining)},
    // This Mac's push was replaced by one that does not build on it: its change is lost unless the
    // user is asked.
    {[](const O &o) { return o.ownPushPending && !o.ownPushInShared; },
     conflict(OwnPushOverwritten, ConflictCause::Overwritten)},
    // Nothing changed here: follow the shared Dock if it builds on what this Mac agreed with; a
    // first push that replaced it is the user's to judge; otherwise another Mac's change was
    // replaced and that Mac flags it.
    {[](const O &o) { return o.localSameAsAgreed && o.agreedInShared; }, {Pull, SharedNewer}},
    {[](const O &o) { return o.localSameAsAgreed && !o.sharedHasHistory; },
     conflict(UnrelatedFirstPush, ConflictCause::Overwritten)},
    {[](const O &o) { return o.localSameAsAgreed; }, {Pull, Follows}},
    // Changed here: share it if the shared Dock is still the agreed one, else both changed.
    {[](const O &o) { return o.sharedSameAsAgreed; }, {Push, LocalNewer}},
    {[](const O &) { return true; }, conflict(BothChanged, ConflictCause::BothChanged)},
};

// A meta file of a Mac that writes no identities: the copy's arrival and the newer side are told
// by the times, the agreed Dock's content deciding where it can.
constexpr Rule kTimeRules[] = {
    {[](const O &o) { return o.localSameAsShared; }, {InSync, Equal}},
    {[](const O &o) { return o.remoteTime > 0 && o.copyTime >= 0 && o.copyTime < o.remoteTime && !o.pusherIsThisMac; },
     {Wait, CopyOnItsWay}},
    {[](const O &o) { return o.local == DockState::Absent; }, {Pull, LocalOnly}},
    {[](const O &o) { return !o.hasAgreed; }, conflict(Joining, ConflictCause::Joining)},
    // An older copy under this Mac's own recorded push is another Mac's that the service kept.
    {[](const O &o) { return o.pusherIsThisMac && o.remoteTime > 0 && o.copyTime >= 0 && o.copyTime < o.remoteTime; },
     {Push, RestoreOwnPush}},
    // With the agreed Dock at hand, the side that differs from it wins.
    {[](const O &o) { return o.agreedKnown && !o.localSameAsAgreed && o.sharedSameAsAgreed; }, {Push, LocalNewer}},
    {[](const O &o) { return o.agreedKnown && o.localSameAsAgreed && !o.sharedSameAsAgreed; }, {Pull, SharedNewer}},
    {[](const O &o) { return o.agreedKnown && !o.pusherIsThisMac; }, conflict(BothChanged, ConflictCause::BothChanged)},
    {[](const O &o) {
         return !o.agreedKnown && o.lastPulled < o.localTime && o.lastPulled < o.remoteTime && !o.pusherIsThisMac &&
                o.localTime != o.remoteTime;
     },
     conflict(BothChanged, ConflictCause::BothChanged)},
    {[](const O &o) { return o.remoteTime <= 0; }, {Push, FirstSync}},
    {[](const O &o) { return o.remoteTime < o.localTime; }, {Push, LocalNewer}},
    {[](const O &o) { return o.localTime < o.remoteTime; }, {Pull, SharedNewer}},
    // Equal times, yet the copy is not the recorded push: its Mac restores it, every other takes it.
    {[](const O &o) { return o.copyTime >= 0 && o.copyTime != o.remoteTime && o.pusherIsThisMac; },
     {Push, RestoreOwnPush}},
    {[](const O &o) { return o.copyTime >= 0 && o.copyTime != o.remoteTime; }, {Pull, SharedContradicts}},
    {[](const O &) { return true; }, {InSync, Equal}},
};

const Action *firstThatApplies(std::span<const Rule> rules, const O &seen)
{
    for (const Rule &rule : rules) {
        if (rule.applies(seen))
            return &rule.action;
    }
    return nullptr;
}

} // namespace

Action decide(const Observation &seen)
{
    if (const Action *action = firstThatApplies(kFirstRules, seen))
        return *action;
    return *firstThatApplies(
        seen.identified ? std::span<const Rule>(kIdentityRules) : std::span<const Rule>(kTimeRules), seen);
}

} // namespace SyncDecision
