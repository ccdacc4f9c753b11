#include "protocol/assignment_record.h"

#include <algorithm>

#include "util/number_text.h"

namespace kb {

namespace {

struct EncodedStep {
    std::uint8_t code = 0;
    std::uint8_t timing = 0;
};

std::uint8_t LowByte(std::int32_t value) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFF);
}

void WriteSteps(const std::vector<EncodedStep>& steps, AssignmentRecord& record) {
    std::size_t offset = kRecordStepOffset;
    for (const EncodedStep& step : steps) {
        record[offset] = step.code;
        record[offset + 1] = step.timing;
        offset += 2;
    }
}

// A group longer than the record is cut so that no key stays held: keep the longest prefix
// that still leaves room to release every key it holds down, then release those keys.
std::vector<EncodedStep> FitSteps(std::vector<EncodedStep> steps) {
    if (steps.size() <= kMaxRecordSteps) {
        return steps;
    }
    std::vector<std::uint8_t> held;  // in press order
    std::size_t keep = 0;
    std::vector<std::uint8_t> heldAtKeep;
    for (std::size_t count = 0; count <= kMaxRecordSteps; ++count) {
        if (count > 0) {
            const EncodedStep& step = steps[count - 1];
            const auto found = std::find(held.begin(), held.end(), step.code);
            if ((step.timing & kStepKeyUp) != 0) {
                if (found != held.end()) {
                    held.erase(found);
                }
            } else if (found == held.end()) {
                held.push_back(step.code);
            }
        }
        if (count + held.size() <= kMaxRecordSteps) {
            keep = count;
            heldAtKeep = held;
        }
    }
    steps.resize(keep);
    for (auto key = heldAtKeep.rbegin(); key != heldAtKeep.rend(); ++key) {
        steps.push_back({*key, EncodeStepTiming(true, 0)});
    }
    return steps;
}

void FillMacro(const KeyChoice& choice, std::uint8_t key, AssignmentRecord& record) {
    record[2] = key;
    record[3] = LowByte(choice.repeat);
    std::vector<EncodedStep> steps;
    steps.reserve(choice.steps.size());
    for (const RememberedStep& step : choice.steps) {
        const auto bytes = EncodeMacroStep({step.code, step.state, step.delay});
        steps.push_back({bytes[0], bytes[1]});
    }
    WriteSteps(FitSteps(std::move(steps)), record);
}

void FillFunctionKey(const std::vector<std::int32_t>& codes, std::uint8_t key,
                     AssignmentRecord& record) {
    record[2] = key;
    if (codes.empty()) {
        return;
    }
    record[3] = 1;
    // All keys down in order, then all but the first up in order, the first key last.
    const std::size_t count = std::min(codes.size(), kMaxChordCodes);
    std::vector<EncodedStep> steps;
    steps.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        steps.push_back({LowByte(codes[i]), kChordDownTiming});
    }
    for (std::size_t i = 1; i < count; ++i) {
        steps.push_back({LowByte(codes[i]), kChordUpTiming});
    }
    steps.push_back({LowByte(codes[0]), kChordUpTiming});
    WriteSteps(steps, record);
}

}  // namespace

std::uint8_t EncodeStepTiming(bool keyUp, std::uint32_t delayMs) {
    unsigned unit = 0;
    std::uint32_t count = 0;
    if (delayMs <= 310) {
        unit = 0;
        count = delayMs / 10;
    } else if (delayMs <= 1550) {
        unit = 1;
        count = delayMs / 50;
    } else if (delayMs <= 3100) {
        unit = 2;
        count = delayMs / 100;
    } else {
        unit = 3;
        count = std::min(delayMs, kMaxStepDelayMs) / 1000;
    }
    if (count == 0) {
        count = 1;
    }
    return static_cast<std::uint8_t>((keyUp ? kStepKeyUp : 0u) | unit << 5 | count);
}

std::array<std::uint8_t, 2> EncodeMacroStep(const MacroStepText& step) {
    const bool keyUp = ParseDecimalPrefix(step.state) != 0;
    const auto delay = static_cast<std::uint32_t>(ParseDecimalPrefix(step.delay));
    return {LowByte(ParseDecimalPrefix(step.code)), EncodeStepTiming(keyUp, delay)};
}

AssignmentRecord RecordForChoice(const KeyChoice& choice, std::uint8_t key) {
    AssignmentRecord record{};
    switch (choice.kind) {
        case KeyKind::Macro:
            FillMacro(choice, key, record);
            break;
        case KeyKind::Function:
            FillFunctionKey(choice.codes, key, record);
            break;
        case KeyKind::Key:
            record[2] = choice.target;
            break;
        case KeyKind::Media:
            record[2] = choice.codes.empty() ? 0 : LowByte(choice.codes.front());
            break;
        case KeyKind::Elsewhere:
            break;
    }
    return record;
}

}  // namespace kb
