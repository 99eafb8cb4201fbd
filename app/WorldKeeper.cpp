// WorldKeeper: opening, pacing the commits and the final save.
#include "app/WorldKeeper.h"

#include <iostream>

#include "core/ExitStatus.h"
#include "core/Fatal.h"
#include "platform/Clock.h"
#include "core/PrintableText.h"
#include "demo/TimedemoReport.h"
#include "world/BasicMapGenerator.h"

namespace {

// A change is committed this long after it was made at the latest, plus
// the few passes a commit is prepared over.
const auto CommitAfter = std::chrono::milliseconds(1000);
// Each pass prepares chunks for at most this much processor time.
const double PrepareBudgetMs = 0.75;

} // namespace

void WorldKeeper::Open(const std::string& path, bool forReplay, std::streambuf* terminalBuffer)
{
    replay = forReplay;
    terminal = terminalBuffer;
    file = std::make_unique<WorldFile>();
    std::string reason;
    const WorldOpened opened =
        file->Open(path, replay ? WorldAccess::ReadOnly : WorldAccess::ReadWrite, WorldSeed(), reason);
    if (opened == WorldOpened::Held)
        FatalExit(ExitStatus::WorldHeld, reason);
    if (opened != WorldOpened::Ok)
        FatalExit(ExitStatus::BadWorld, reason);
    const WorldFacts& facts = file->Facts();
    std::cout << (file->Created() ? "New world " : "World ") << "\"" << path << "\": seed " << facts.seed << ", "
              << file->StoredChunks() << " changed chunks, " << facts.saves << " saves, last " << facts.saved
              << (replay ? " (read only)" : "") << std::endl;
}

void WorldKeeper::Say(const std::string& line, bool alsoTerminal)
{
    std::cerr << "Veldmarrow: " << line << std::endl;
    if (alsoTerminal && terminal != nullptr) {
        std::ostream out(terminal);
        out << "Veldmarrow: " << line << std::endl;
    }
}

void WorldKeeper::Committed(const char* what)
{
    std::cout << what << ": save " << file->Facts().saves << ", " << file->LastCommitted() << " chunks written, "
              << file->StoredChunks() << " changed chunks kept, log " << (file->LogBytes() + 1023) / 1024
              << " KiB, checksum " << ChecksumText(file->CommittedChecksum())
              << std::endl;
}

void WorldKeeper::AfterPass(Clock::time_point now)
{
    if (!file || replay || !file->Following())
        return;
    const std::string notice = file->TakeNotice();
    if (!notice.empty())
        Say(notice, true);
    // The log is folded into the file off this thread; nothing else
    // touches the file until that is done, and no pass waits for it.
    if (file->Folding())
        return;
    if (folding) {
        folding = false;
        std::cout << "World log folded: " << foldedBytes / 1024 << " KiB, now "
                  << (file->LogBytes() + 1023) / 1024 << " KiB" << std::endl;
    }
    if (!inRound) {
        if (!file->HasChanges())
            return;
        if (!hasOldest) {
            hasOldest = true;
            oldestUnsaved = now;
            return;
        }
        if (now - oldestUnsaved < CommitAfter)
            return;
        roundLeftChanges = !file->BeginRound();
        inRound = true;
        roundReady = false;
        roundBegan = now;
    }
    const double start = ThreadCpuMilliseconds();
    if (!roundReady) {
        do
            roundReady = file->Prepare(1);
        while (!roundReady && ThreadCpuMilliseconds() - start < PrepareBudgetMs);
    } else {
        // The transaction gets a pass of its own, and so does a fold.
        inRound = false;
        std::string reason;
        if (file->Commit(reason)) {
            Committed("World saved");
            if (failing)
                Say("world " + QuotedName(file->Path()) + " saved again", true);
            failing = false;
            foldedBytes = file->LogBytes();
            if (foldedBytes >= WorldFormat::FoldAbove) {
                file->BeginFold();
                folding = true;
            }
        } else if (!failing) {
            failing = true;
            Say(reason + "; play goes on and saving is tried again", true);
        }
        // What changed while this round was prepared is already waiting;
        // what a full round left behind is taken at once.
        hasOldest = file->HasChanges();
        oldestUnsaved = failing ? now : roundLeftChanges ? now - CommitAfter : roundBegan;
    }
    saveTimes.push_back(ThreadCpuMilliseconds() - start);
}

void WorldKeeper::Abandon()
{
    if (file)
        file->Abandon();
}

int WorldKeeper::Finish(std::string& told)
{
    if (!file)
        return ExitStatus::Normal;
    const bool following = file->Following();
    const std::size_t unsaved = file->Unsaved();
    const std::string lastGood = file->Facts().saved;
    std::string reason;
    if (file->Close(reason)) {
        if (following)
            Committed("World saved at the end");
        // Saved, though its log could not be folded in: the player must know why the disk holds more.
        const std::string notice = file->TakeNotice();
        if (!notice.empty()) {
            Say(notice, true);
            told = "Veldmarrow: " + notice;
        }
        file.reset();
        return ExitStatus::Normal;
    }
    told = "world " + QuotedName(file->Path()) + ": " + std::to_string(unsaved) + " changed chunks were not saved (" + reason +
           "); the last good save was at " + lastGood;
    Say(told, true);
    told = "Veldmarrow: " + told;
    file.reset();
    return ExitStatus::WorldNotSaved;
}
