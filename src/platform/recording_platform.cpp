#include "platform/recording_platform.h"

namespace kb::platform {

bool RecordingPlatform::InstallKeyboardHook(KeyStrokeSink& sink) {
    sink_ = &sink;
    ++hookInstalls;
    return true;
}

bool RecordingPlatform::UninstallKeyboardHook() {
    if (sink_ == nullptr) {
        return false;
    }
    sink_ = nullptr;
    ++hookUninstalls;
    return true;
}

bool RecordingPlatform::ClaimSingleInstance(const QString& instanceName,
                                            std::function<void()> onActivateRequest) {
    claimedInstanceName = instanceName;
    if (anotherInstanceRunning) {
        return false;
    }
    onActivate_ = std::move(onActivateRequest);
    return true;
}

void RecordingPlatform::WatchDeviceChanges(std::function<void()> onChange) {
    onDeviceChange_ = std::move(onChange);
}

bool RecordingPlatform::GrantDeviceAccess() {
    ++accessRequests;
    if (accessGranted && whileGranting) {
        whileGranting();
    }
    return accessGranted;
}

bool RecordingPlatform::RunAndWait(const QString& program) {
    startedPrograms.append(program);
    if (!programStarts) {
        return false;
    }
    if (whileProgramRuns) {
        whileProgramRuns();
    }
    return true;
}

void RecordingPlatform::OpenUrl(const QUrl& url) {
    openedUrls.append(url);
}

QString RecordingPlatform::ChooseOpenFile(QWidget*, const FileChooserOptions& options) {
    lastChooserOptions = options;
    if (openFileAnswers.empty()) {
        return {};
    }
    QString answer = openFileAnswers.front();
    openFileAnswers.pop_front();
    return answer;
}

QString RecordingPlatform::ChooseSaveFile(QWidget*, const FileChooserOptions& options) {
    lastChooserOptions = options;
    if (saveFileAnswers.empty()) {
        return {};
    }
    QString answer = saveFileAnswers.front();
    saveFileAnswers.pop_front();
    return answer;
}

bool RecordingPlatform::PressKey(unsigned message, std::uint32_t vkCode, std::uint32_t time) {
    if (sink_ == nullptr) {
        return false;
    }
    KeyStroke stroke;
    stroke.message = message;
    stroke.vkCode = vkCode;
    stroke.time = time;
    return sink_->OnKeyStroke(0, stroke);
}

void RecordingPlatform::FireDeviceChange() {
    if (onDeviceChange_) {
        onDeviceChange_();
    }
}

void RecordingPlatform::AskToActivate() {
    if (onActivate_) {
        onActivate_();
    }
}

}  // namespace kb::platform
