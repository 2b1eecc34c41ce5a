// Processes, the shell and the desktop: what the programs start and where they save.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Image.h"

namespace platform {

// Starts a program from a command line (ANSI) without waiting for it. The first word names the
// program; a name without a folder is looked for beside the running program first. The new
// process gets our environment and working directory and inherits no handles. False when it
// could not be started.
bool StartProcess(const std::string& commandLine);

// Asks the shell to open an address or a file with its usual program. False when nothing could
// take it.
bool OpenWithShell(const std::string& address);

// The user's desktop folder, without a trailing separator; "" when there is none.
std::string DesktopFolder();

// The pixels now on screen inside `area` (screen coordinates). Empty when they cannot be read.
Image CaptureScreen(Rect area);

// Writes the image as a PNG file. False when the file could not be written.
bool SavePng(const Image& image, const std::string& path);

// A lock held by at most one process of the machine at a time, named by a text. Released when
// the object goes or the process ends, however it ends.
class SingleInstanceLock {
public:
    // Tries once; IsHeld tells whether this process now holds it.
    explicit SingleInstanceLock(const std::string& name);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    bool IsHeld() const { return held_; }

private:
    struct Native;
    std::unique_ptr<Native> native_;
    bool held_ = false;
};

}  // namespace platform
