// A captioned top-level popup window with a window class of its own,
// "VX Installer Progress Window", whose procedure is the default one: closing the
// window destroys it, and destroying it does not end the message loop.
//
// The class is registered by the constructor, once per process: a second
// StandardWindow fails to register it, says so in a message box, and cannot be
// created.
#pragma once

#include "ui/component/BaseComponent.h"

namespace ui::window {

inline constexpr wchar_t kProgressWindowClass[] = L"VX Installer Progress Window";

class StandardWindow : public component::BaseComponent {
public:
    StandardWindow();

    // Creates the window with the stored text as caption; the style bits and
    // parent of the component are not used.
    HWND create() override;
    void show();
    ATOM atom() const noexcept { return atom_; }

private:
    ATOM atom_ = 0;
};

} // namespace ui::window
