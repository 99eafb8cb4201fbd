// TimedemoReport: the figures of a timed replay and their two printed forms.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/PrintableText.h" // ChecksumText

struct TimedemoFigures {
    std::string demoFile;
    std::string allocator;            // the heap allocator the program was built with
    std::size_t frames = 0;
    double seconds = 0;               // sum of the frame times
    double medianMs = 0, p90Ms = 0, p99Ms = 0, maxMs = 0;
    double startToFirstFrameSeconds = 0;
    std::uint64_t peakResidentBytes = 0;
    std::uint64_t terrainChecksum = 0;
    bool matchesRecording = false;    // the terrain checksum equals the recorded one
    bool complete = true;             // every pass was played; otherwise nothing is compared
    std::uint32_t passesPlayed = 0, passCount = 0;
};

// Fills frames, seconds and the frame-time statistics from each frame's
// time in seconds (nearest-rank percentiles; the median of an even count is
// the mean of the middle two).
void SummariseFrames(const std::vector<double>& frameSeconds, TimedemoFigures& figures);



// The human-readable block, several lines, each ended by a newline.
std::string ReportBlock(const TimedemoFigures& figures);

// The same figures as one line of JSON, without a newline.
std::string ReportJson(const TimedemoFigures& figures);
