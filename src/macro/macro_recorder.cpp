#include "macro/macro_recorder.h"

#include <chrono>

#include "macro/key_codes.h"
#include "macro/macro_dialog_state.h"
#include "macro/macro_library.h"

namespace kb {
namespace {

// Taken while static objects are initialised, which is as close to the process start as
// portable code gets.
const std::chrono::steady_clock::time_point kProcessStart = std::chrono::steady_clock::now();

bool IsKeyDown(unsigned message) {
    return message == kMsgKeyDown || message == kMsgSysKeyDown;
}

bool IsKeyUp(unsigned message) {
    return message == kMsgKeyUp || message == kMsgSysKeyUp;
}

}  // namespace

std::int32_t ProcessClock::NowMs() const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - kProcessStart);
    return static_cast<std::int32_t>(elapsed.count());
}

void MacroRecorder::Reset() {
    referenceTime_ = -1;
    limitMessageOpen_ = false;
}

std::int32_t MacroRecorder::DelayFor(int delayMode, std::int32_t fixedDelay) const {
    switch (delayMode) {
        case kDelayReal:
            // Wraps like the 32-bit millisecond counter it stands for.
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(clock_.NowMs()) -
                                             static_cast<std::uint32_t>(referenceTime_));
        case kDelayFixed:
            return fixedDelay;
        default:
            return 0;
    }
}

bool MacroRecorder::OnMacroPageKeystroke(unsigned message, std::uint32_t virtualKey, bool recording,
                                         const MacroDialogState& state,
                                         MacroRecordingTarget& target) {
    if (!recording) {
        return false;
    }
    MacroNode* group = target.ShownGroup();
    const int count = group != nullptr ? group->ChildCount() : 0;
    if (count >= kMaxRecordedSteps) {
        // Keystrokes arriving while the box is open pass through without a second box.
        if (!limitMessageOpen_) {
            limitMessageOpen_ = true;
            target.ShowStepLimitMessage();
            limitMessageOpen_ = false;
        }
        return false;
    }
    const bool down = IsKeyDown(message);
    if (!down && !IsKeyUp(message)) {
        return true;
    }
    // A release whose press was not recorded has nothing to belong to.
    if (!down && count == 0) {
        return true;
    }
    if (count > 0) {
        // Held in memory only; the next append saves it.
        group->ChildAt(count - 1)->SetAttribute(
            "delay", std::to_string(DelayFor(state.dlymode, state.delay)));
    }
    if (const auto code = VirtualKeyToCode(virtualKey)) {
        target.AppendStep(*code, down ? 0 : 1, KeyNameOfCode(*code).value_or(""), 0);
    }
    target.RefreshSteps();
    referenceTime_ = clock_.NowMs();
    return true;
}

SingleKeyCapture CaptureSingleKey(unsigned message, std::uint32_t virtualKey,
                                  MacroDialogState& state) {
    SingleKeyCapture capture;
    if (!IsKeyDown(message)) {
        return capture;
    }
    capture.keyDown = true;
    if (const auto code = VirtualKeyToCode(virtualKey)) {
        capture.code = *code;
        capture.name = std::string(KeyNameOfCode(*code).value_or(""));
        state.sgcode = *code;
    }
    return capture;
}

}  // namespace kb
