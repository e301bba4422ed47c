#pragma once

#include "SyncNotice.h"

#include <QString>

// The automatic decision, as one pure function: what this Mac sees of its Dock, the shared folder
// and its own records goes in, what to do comes out. The engine gathers the observation and
// carries out the action; nothing here touches a file.
namespace SyncDecision {

// A Dock as read: not there, a Dock, present but not a Dock (empty, cut short, a link, …), or
// present but not readable now (an evicted cloud file).
enum class DockState { Absent, Valid, Broken, Unavailable };

// Where the shared copy stands against the push the meta file records, by identity.
enum class Arrival {
    Arrived,  // the copy holds the Dock the meta file names
    OnItsWay, // the copy holds one the meta file's push built on: the new copy is still coming
    Stray,    // neither: the copy comes from a push whose meta file was replaced (a concurrent push)
};

struct Observation {
    DockState local = DockState::Absent;
    DockState shared = DockState::Absent;
    bool metaPresent = false; // a meta file with a usable time or identity

    // By content, with this Mac's rule for the look keys: only what the user would see counts.
    bool localSameAsShared = false;
    bool localSameAsAgreed = false;
    bool sharedSameAsAgreed = false;
    // This Mac agreed with a shared Dock of this folder (pushed, pulled or found equal) and is still
    // a member (its status file is there); agreedKnown: and it kept that Dock, so the two
    // comparisons with it above mean something.
    bool hasAgreed = false;
    bool agreedKnown = false;

    // The meta file names its push's Dock with an identity this Mac can read.
    bool identified = false;
    Arrival arrival = Arrival::Arrived;
    bool sharedHasHistory = false; // the push builds on earlier ones (no first push)
    bool agreedInShared = false;   // what this Mac agreed with is the shared push or in its history
    bool ownPushPending = false;   // this Mac pushed a Dock no other Mac's push has built on yet
    bool ownPushInShared = false;  // … and it is the shared push or in its history
    bool copyIsOwnPush = false;    // the shared copy is that push
    bool metaNamesOwnPush = false; // the meta file records that push

    // Without identities, the rules of the times. Whole seconds, as the meta file stores them.
    double localTime = 0;  // the Dock file's time, truncated
    double remoteTime = 0; // the meta file's "mtime"
    double copyTime = -1;  // the shared copy's own time, truncated; negative when unknown
    double lastPulled = 0; // this Mac's status file's "last_pulled"
    bool pusherIsThisMac = false;
};

enum class Step { Push, Pull, InSync, Conflict, Wait, Error };

// Why, for the log line that says it.
enum class Reason {
    LocalBroken,        // the local Dock is not a Dock
    SharedBroken,       // the shared copy is not a Dock
    NothingAnywhere,    // no Dock here and none shared
    SharedUnavailable,  // the shared copy cannot be read now
    CopyOnItsWay,       // the copy is older than the push the meta file records
    FirstSync,          // nothing shared yet
    LocalOnly,          // no Dock here: take the shared one
    Equal,              // the same Dock on both sides
    LocalNewer,         // only this Mac's Dock changed
    SharedNewer,        // only the shared Dock changed: a fast-forward
    Follows,            // another Mac's change was replaced and that Mac flags it; this one follows
    RestoreOwnPush,     // the folder lost this Mac's push (copy or meta): share it again
    SharedContradicts,  // equal times, yet the copy is not the recorded push
    BothChanged,        // conflict
    Joining,            // conflict
    OwnPushOverwritten, // conflict
    UnrelatedFirstPush, // conflict: a first push replaced the Dock this Mac agreed with
};

struct Action {
    Step step;
    Reason reason;
    ConflictCause cause = ConflictCause::None;
    bool operator==(const Action &) const = default;
};

Action decide(const Observation &seen);

} // namespace SyncDecision
