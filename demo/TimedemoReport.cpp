// TimedemoReport: statistics and formatting.
#include "demo/TimedemoReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/PrintableText.h"

namespace {

std::string Format(const char* format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

double NearestRank(const std::vector<double>& sorted, double percent)
{
    const double rank = std::ceil(percent / 100.0 * static_cast<double>(sorted.size()));
    const std::size_t index = rank < 1 ? 0 : static_cast<std::size_t>(rank) - 1;
    return sorted[std::min(index, sorted.size() - 1)];
}

double Mib(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

} // namespace

void SummariseFrames(const std::vector<double>& frameSeconds, TimedemoFigures& figures)
{
    figures.frames = frameSeconds.size();
    figures.seconds = 0;
    figures.medianMs = figures.p90Ms = figures.p99Ms = figures.maxMs = 0;
    if (frameSeconds.empty())
        return;
    std::vector<double> sorted(frameSeconds);
    std::sort(sorted.begin(), sorted.end());
    for (const double s : frameSeconds)
        figures.seconds += s;
    const std::size_t n = sorted.size();
    const double median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    figures.medianMs = median * 1000;
    figures.p90Ms = NearestRank(sorted, 90) * 1000;
    figures.p99Ms = NearestRank(sorted, 99) * 1000;
    figures.maxMs = sorted.back() * 1000;
}

std::string ReportBlock(const TimedemoFigures& f)
{
    const double fps = f.seconds > 0 ? static_cast<double>(f.frames) / f.seconds : 0;
    const std::string comparison =
        !f.complete ? " (not compared: interrupted after " + std::to_string(f.passesPlayed) + " of " +
                          std::to_string(f.passCount) + " passes)"
        : f.matchesRecording ? " (matches the recording)"
                             : " (DIFFERS from the recording)";
    return "Timedemo " + PrintableText(f.demoFile) + "\n" +
           "  frames:              " + std::to_string(f.frames) + " in " + Format("%.3f", f.seconds) + " s (" +
           Format("%.1f", fps) + " frames per second)\n" +
           "  frame time:          median " + Format("%.2f", f.medianMs) + " ms, p90 " + Format("%.2f", f.p90Ms) +
           " ms, p99 " + Format("%.2f", f.p99Ms) + " ms, max " + Format("%.2f", f.maxMs) + " ms\n" +
           "  start to first frame of play: " + Format("%.3f", f.startToFirstFrameSeconds) + " s\n" +
           "  peak resident memory: " + Format("%.1f", Mib(f.peakResidentBytes)) + " MiB (" + f.allocator +
           " allocator)\n" + "  terrain checksum:    " + ChecksumText(f.terrainChecksum) +
           comparison + "\n";
}

std::string ReportJson(const TimedemoFigures& f)
{
    return "{\"timedemo\":" + JsonString(f.demoFile) + ",\"allocator\":" + JsonString(f.allocator) +
           ",\"frames\":" + std::to_string(f.frames) + ",\"seconds\":" + Format("%.4f", f.seconds) +
           ",\"frame_ms\":{\"median\":" + Format("%.3f", f.medianMs) + ",\"p90\":" + Format("%.3f", f.p90Ms) +
           ",\"p99\":" + Format("%.3f", f.p99Ms) + ",\"max\":" + Format("%.3f", f.maxMs) +
           "},\"start_to_first_frame_s\":" + Format("%.4f", f.startToFirstFrameSeconds) +
           ",\"peak_rss_bytes\":" + std::to_string(f.peakResidentBytes) + ",\"terrain_checksum\":\"" +
           ChecksumText(f.terrainChecksum) + "\",\"complete\":" + (f.complete ? "true" : "false") +
           ",\"passes_played\":" + std::to_string(f.passesPlayed) + ",\"passes\":" + std::to_string(f.passCount) +
           // A replay cut short says nothing about whether the terrain matches.
           ",\"matches_recording\":" + (!f.complete ? "null" : f.matchesRecording ? "true" : "false") + "}";
}
