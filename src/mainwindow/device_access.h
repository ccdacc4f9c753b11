#pragma once

class QWidget;

namespace kb {

namespace platform {
class PlatformServices;
}

// Said after the permission explanation where the platform can give access itself, and when it
// could not; translated in the message box's context.
inline constexpr const char* kTextOfferAccess =
    "The program can do this for you now: choose OK, and the system asks for an "
    "administrator's password.";
inline constexpr const char* kTextAccessNotGiven =
    "Access was not given. Run the command above in a terminal, then plug the keyboard in again.";

// Explains a keyboard the system keeps from the program. Where the platform can give the user
// access itself, the explanation offers it (OK runs it, Cancel leaves it). True once access was
// given: the caller looks for the keyboard again.
bool ExplainNoPermission(QWidget* owner, platform::PlatformServices& platform);

}  // namespace kb
