// The progress line: drawn with a carriage return and padded over what it replaces, so it
// never leaves pieces of a longer line behind.
#include "cli/progress_line.h"

#include <cinttypes>
#include <cmath>

#include "cli/report.h"

namespace cli {

namespace {

constexpr std::chrono::milliseconds kRedrawEvery(250);
constexpr std::chrono::milliseconds kRateWindow(500);

// "m:ss" or "h:mm:ss".
std::string ClockText(double seconds) {
    const std::uint64_t s = static_cast<std::uint64_t>(std::llround(seconds));
    char text[32];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%" PRIu64 ":%02u:%02u", s / 3600,
                      static_cast<unsigned>(s / 60 % 60), static_cast<unsigned>(s % 60));
    } else {
        std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(s / 60),
                      static_cast<unsigned>(s % 60));
    }
    return text;
}

}  // namespace

std::string FormatBytes(std::uint64_t bytes) {
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%u B", static_cast<unsigned>(bytes));
        return text;
    }
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string FormatTransfer(std::uint64_t bytes, double seconds) {
    char text[32];
    if (seconds < 60) {
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    } else {
        const unsigned s = static_cast<unsigned>(std::llround(seconds));
        std::snprintf(text, sizeof text, "%u min %u s", s / 60, s % 60);
    }
    const std::uint64_t rate =
        seconds > 0 ? static_cast<std::uint64_t>(static_cast<double>(bytes) / seconds) : 0;
    return FormatBytes(bytes) + " in " + text + " (" + FormatBytes(rate) + "/s)";
}

ProgressLine::ProgressLine(std::FILE* stream, bool enabled)
    : m_stream(stream), m_enabled(enabled) {}

void ProgressLine::Start(std::uint64_t totalBytes, std::uint64_t totalPieces) {
    m_totalBytes = totalBytes;
    m_totalPieces = totalPieces;
    m_start = Clock::now();
    m_samples.clear();
}

double ProgressLine::Rate(Clock::time_point now, std::uint64_t bytes) {
    while (m_samples.size() >= 2 && now - m_samples[1].at >= kRateWindow) {
        m_samples.pop_front();
    }
    m_samples.push_back({now, bytes});
    const Sample& first = m_samples.front();
    if (now - first.at < kRateWindow || bytes < first.bytes) {
        return -1;
    }
    return static_cast<double>(bytes - first.bytes) /
           std::chrono::duration<double>(now - first.at).count();
}

double ProgressLine::Elapsed() const {
    return std::chrono::duration<double>(Clock::now() - m_start).count();
}

void ProgressLine::Update(std::uint64_t bytes, std::uint64_t pieces) {
    if (!m_enabled) {
        return;
    }
    const Clock::time_point now = Clock::now();
    const double rate = Rate(now, bytes);
    if (m_everDrawn && now - m_drawn < kRedrawEvery) {
        return;
    }
    m_drawn = now;
    m_everDrawn = true;
    const double elapsed = Elapsed();
    const std::string rateText =
        rate < 0 ? std::string("-- B/s") : FormatBytes(static_cast<std::uint64_t>(rate)) + "/s";
    char text[200];
    if (m_totalBytes == kUnknown) {
        std::snprintf(text, sizeof text, "%s  %s  %" PRIu64 " pieces", FormatBytes(bytes).c_str(),
                      rateText.c_str(), pieces);
    } else {
        const unsigned percent =
            m_totalBytes == 0 ? 0 : static_cast<unsigned>(bytes * 100 / m_totalBytes);
        // The rate of the first moments says little; the time left waits for a second of it.
        const std::string left =
            elapsed >= 1 && rate > 0 && bytes <= m_totalBytes
                ? ClockText(static_cast<double>(m_totalBytes - bytes) / rate) + " left"
                : "--:-- left";
        std::snprintf(text, sizeof text, "%3u%%  %s of %s  %s  %s  %" PRIu64 "/%" PRIu64 " pieces",
                      percent, FormatBytes(bytes).c_str(), FormatBytes(m_totalBytes).c_str(),
                      rateText.c_str(), left.c_str(), pieces, m_totalPieces);
    }
    Draw(text);
}

void ProgressLine::Note(const std::string& text) {
    const Clock::time_point now = Clock::now();
    if (!m_enabled || (m_everDrawn && now - m_drawn < kRedrawEvery)) {
        return;
    }
    m_drawn = now;
    m_everDrawn = true;
    Draw(text + "  " + ClockText(Elapsed()));
}

void ProgressLine::Draw(std::string line) {
    const std::size_t width = line.size();
    if (width < m_width) {
        line.append(m_width - width, ' ');
    }
    m_width = width;
    Print(m_stream, "\r" + line);
    std::fflush(m_stream);
}

void ProgressLine::Clear() {
    if (!m_enabled || m_width == 0) {
        return;
    }
    Print(m_stream, "\r" + std::string(m_width, ' ') + "\r");
    std::fflush(m_stream);
    m_width = 0;
}

void ProgressLine::Finish(const std::string& summary) {
    if (!m_enabled) {
        return;
    }
    Clear();
    Print(m_stream, summary + "\n");
}

}  // namespace cli
