#include "macro/macro_recorder.h"

#include <algorithm>
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
    limitShownInBurst_ = false;
    heldKeys_.clear();
}

bool MacroRecorder::TrackBurst(bool down, bool up, std::uint32_t virtualKey) {
    const std::int32_t now = clock_.NowMs();
    const auto since =
        static_cast<std::uint32_t>(now) - static_cast<std::uint32_t>(lastKeystrokeMs_);
    const bool paused = since >= static_cast<std::uint32_t>(kBurstPauseMs);
    lastKeystrokeMs_ = now;
    const bool starts = down && !limitMessageOpen_ && (heldKeys_.empty() || paused);
    if (starts) {
        heldKeys_.clear();
    }
    const auto held = std::find(heldKeys_.begin(), heldKeys_.end(), virtualKey);
    if (down && held == heldKeys_.end()) {
        heldKeys_.push_back(virtualKey);
    } else if (up && held != heldKeys_.end()) {
        heldKeys_.erase(held);
    }
    return starts;
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
    const bool down = IsKeyDown(message);
    const bool up = IsKeyUp(message);
    if (TrackBurst(down, up, virtualKey)) {
        limitShownInBurst_ = false;
    }
    MacroNode* group = target.ShownGroup();
    const int count = group != nullptr ? group->ChildCount() : 0;
    if (count >= kMaxRecordedSteps) {
        // Keystrokes arriving while the box is open, or later in the same burst (the Enter that
        // closed it, the release of a held key), pass through without another box.
        if (!limitMessageOpen_ && !limitShownInBurst_) {
            limitShownInBurst_ = true;
            limitMessageOpen_ = true;
            target.ShowStepLimitMessage();
            limitMessageOpen_ = false;
        }
        return false;
    }
    if (!down && !up) {
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
