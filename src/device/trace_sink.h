#pragma once

#include <string>
#include <vector>

namespace kb {

// Receives one line per device exchange or pacing wait ("send 07 fc ...", "wait 50").
class TraceSink {
public:
    virtual ~TraceSink() = default;
    virtual void Line(const std::string& line) = 0;
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
