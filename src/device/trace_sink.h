#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kb {

// Receives lines one at a time: one per device exchange or pacing wait ("send 07 fc ...",
// "wait 50"), or the diagnostics of finding and opening the keyboard ("open dev: ...").
class TraceSink {
public:
    virtual ~TraceSink() = default;
    virtual void Line(const std::string& line) = 0;
};

// Writes each line to a C stream (standard output or error) and flushes it, so lines show as
// they happen, also when redirected to a file. Plain stdio: the iostreams' set-up (the
// standard streams and their locale) would cost every start of the window.
class StdioLines : public TraceSink {
public:
    explicit StdioLines(std::FILE* stream) : stream_(stream) {}
    void Line(const std::string& line) override {
        std::fwrite(line.data(), 1, line.size(), stream_);
        std::fputc('\n', stream_);
        std::fflush(stream_);
    }

private:
    std::FILE* stream_;
};

// Keeps the lines in memory; tests compare them with the expected wire script.
class Trace : public TraceSink {
public:
    void Line(const std::string& line) override { lines_.push_back(line); }
    const std::vector<std::string>& Lines() const { return lines_; }
    void Clear() { lines_.clear(); }

private:
    std::vector<std::string> lines_;
};

}  // namespace kb
