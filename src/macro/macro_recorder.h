#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kb {

class MacroDialogState;
class MacroNode;

// Window messages of a keystroke as the keyboard hook reports them.
inline constexpr unsigned kMsgKeyDown = 0x100;
inline constexpr unsigned kMsgKeyUp = 0x101;
inline constexpr unsigned kMsgSysKeyDown = 0x104;
inline constexpr unsigned kMsgSysKeyUp = 0x105;

// Recording adds no step to a group holding this many.
inline constexpr int kMaxRecordedSteps = 80;
// A key press after this long without keystrokes begins a new burst even when a release went
// missing (the keyboard was used elsewhere meanwhile).
inline constexpr std::int32_t kBurstPauseMs = 1000;
inline constexpr const char* kStepLimitWarning = "Insufficient space, recording up to 40 buttons!";

// Delay modes of the dialog state's "dlymode"; any other value records no delay.
inline constexpr int kDelayReal = 0;
inline constexpr int kDelayFixed = 1;
inline constexpr int kDelayNone = 2;

// Milliseconds since the process started; tests drive their own.
class RecordingClock {
public:
    virtual ~RecordingClock() = default;
    virtual std::int32_t NowMs() const = 0;
};

// Wall-clock time since the process started. (The C runtime's clock() counts processor time on
// POSIX systems, which would make every measured delay nearly zero.)
class ProcessClock final : public RecordingClock {
public:
    std::int32_t NowMs() const override;
};

// What recording needs of the dialog that shows the group.
class MacroRecordingTarget {
public:
    virtual ~MacroRecordingTarget() = default;
    // The group whose steps are shown, or null.
    virtual MacroNode* ShownGroup() = 0;
    // Appends a step to the shown group and saves the library.
    virtual void AppendStep(std::uint8_t code, int state, std::string_view name, int delay) = 0;
    // Shows the step-limit message box and returns once the user closed it. Keystrokes may
    // arrive while it is open.
    virtual void ShowStepLimitMessage() = 0;
    virtual void RefreshSteps() = 0;
};

// Turns keystrokes on the macro page into steps of the shown group, the time until the next
// keystroke becoming the step's delay.
class MacroRecorder {
public:
    explicit MacroRecorder(const RecordingClock& clock) : clock_(clock) {}

    // Back to the state of a freshly opened dialog.
    void Reset();

    // One keystroke while the macro page shows; returns whether it is consumed.
    bool OnMacroPageKeystroke(unsigned message, std::uint32_t virtualKey, bool recording,
                              const MacroDialogState& state, MacroRecordingTarget& target);

    std::int32_t ReferenceTime() const { return referenceTime_; }
    bool LimitMessageOpen() const { return limitMessageOpen_; }

private:
    std::int32_t DelayFor(int delayMode, std::int32_t fixedDelay) const;
    // Follows which keys are down; true when this keystroke begins a new burst: a key press
    // while no other key is down (or after a long pause), and not while the limit box is open.
    bool TrackBurst(bool down, bool up, std::uint32_t virtualKey);

    const RecordingClock& clock_;
    std::int32_t referenceTime_ = -1;
    bool limitMessageOpen_ = false;
    // The limit box shows once per burst: keys pressed together, held or typed while it is
    // open, and their releases, belong to the burst that opened it.
    bool limitShownInBurst_ = false;
    std::vector<std::uint32_t> heldKeys_;
    std::int32_t lastKeystrokeMs_ = 0;
};

// What a keystroke on the single-key page did.
struct SingleKeyCapture {
    // False for messages other than key downs: nothing changes.
    bool keyDown = false;
    // The captured code, 0 for a key outside the table (the shown name then stays).
    std::uint8_t code = 0;
    std::optional<std::string> name;
};

// A key down on the single-key page: records its code in the state's sgcode (saved with the
// state's next save). Such keystrokes are always consumed.
SingleKeyCapture CaptureSingleKey(unsigned message, std::uint32_t virtualKey,
                                  MacroDialogState& state);

}  // namespace kb
