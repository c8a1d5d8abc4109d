// A job's progress as one line on a terminal, redrawn in place a few times a second: percent,
// bytes done of the total, rate, time left and pieces done (of a source of unknown length,
// such as a pipe: bytes, rate and pieces); then one summary line.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

namespace cli {

class ProgressLine {
public:
    // Draws on `stream` only when `enabled`: when it is a terminal and -q was not given.
    ProgressLine(std::FILE* stream, bool enabled);

    bool Enabled() const { return m_enabled; }

    // A total of bytes not known before the end.
    static constexpr std::uint64_t kUnknown = ~std::uint64_t{0};

    // Starts the clock; the counts run up to these totals (kUnknown: bytes and pieces).
    void Start(std::uint64_t totalBytes, std::uint64_t totalPieces);
    // Redraws the line with these counts, unless it was drawn less than a quarter second ago.
    // The rate is that of the last half second or a little more, and shown only once the
    // counts span that long: bytes counted before the first update (a job starts before its
    // first count arrives) would make the first moments' rate any size.
    void Update(std::uint64_t bytes, std::uint64_t pieces);
    // Redraws the line with `text` and the time since Start, as rarely as Update: for a
    // stage whose progress is not counted.
    void Note(const std::string& text);
    // Wipes the line, so that other text starts on an empty line.
    void Clear();
    // Wipes the line and prints `summary` on a line of its own.
    void Finish(const std::string& summary);

    // Seconds since Start.
    double Elapsed() const;

private:
    using Clock = std::chrono::steady_clock;

    struct Sample {
        Clock::time_point at;
        std::uint64_t bytes;
    };

    // Bytes a second over the window ending with this count, which it records; negative
    // while the counts span less than the window.
    double Rate(Clock::time_point now, std::uint64_t bytes);
    // Draws `line` over the one on screen.
    void Draw(std::string line);

    std::FILE* m_stream;
    bool m_enabled;
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_totalPieces = 0;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_drawn{};
    bool m_everDrawn = false;
    std::size_t m_width = 0;  // of the line on screen now
    // Counts of the updates, oldest first; the first is the newest one a window old.
    std::deque<Sample> m_samples;
};

// "1.5 GiB", "300.0 MiB", "12 B": binary units, as the piece sizes are given.
std::string FormatBytes(std::uint64_t bytes);

// "300.0 MiB in 2.5 s (120.0 MiB/s)", for a summary.
std::string FormatTransfer(std::uint64_t bytes, double seconds);

}  // namespace cli
