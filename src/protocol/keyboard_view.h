#pragma once

#include <string>

namespace kb {

// What the protocol needs of the window that shows the keyboard.
class KeyboardView {
public:
    virtual ~KeyboardView() = default;
    // Clear the check mark of every key button (and repaint).
    virtual void ClearKeyMarks() = 0;
    // Set the check mark of the key button whose id equals keyId (and repaint).
    virtual void MarkKey(int keyId) = 0;
    // Message box with caption "Warning" and an OK button, owned by the main window.
    virtual void ShowWarning(const std::string& text) = 0;
};

}  // namespace kb
