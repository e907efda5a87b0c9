#pragma once

// The display driver over SDL2: every top-level window is a borderless SDL window whose pixels
// are our surface, shaped on X11 with the shape extension, with SDL's input translated into
// the window system's input events. Headless with SDL_VIDEODRIVER=dummy.
//
// This is the only place in the program that includes SDL or X11.
//
// Thread rules: created and used on the window thread only.

#include "platform/window/DisplayDriver.h"

#include <memory>
#include <string>

namespace platform {

// Opens the display. Null when there is none, with SDL's reason in strError.
std::unique_ptr<DisplayDriver> OpenSdlDisplay(std::string& strError);

} // namespace platform
