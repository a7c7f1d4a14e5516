// One Ghostscript process kept for a whole conversion. Starting Ghostscript
// costs far more than rendering a small picture, so the picture files of
// every page are handed to the same process, one at a time, through its
// standard input. Each file runs inside save/restore and with its errors
// caught, so one picture cannot change how the next is drawn; the rasters
// are the same bytes that a process of their own would make.
//
// The process writes its n-th page to "<folder>/<n>.<ext>"; Render moves
// that page to the wanted name. When the process cannot be used (it does
// not start, answers nothing, fails a file, or runs past the time-out) the
// caller renders the file in a process of its own instead.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/process.h"

class CGhostscriptSession {
public:
    // `folder` holds the pages while they are made (it is created);
    // `readable` are the folders (with their subfolders) that the picture
    // files lie in, which Ghostscript's file access control must allow.
    // `stop`, when given, is asked while an answer is awaited: when it says
    // stop, the process is killed there and then.
    CGhostscriptSession(std::string device, std::string folder, std::vector<std::string> readable,
                        std::function<bool()> stop = {});
    virtual ~CGhostscriptSession();
    CGhostscriptSession(const CGhostscriptSession&) = delete;
    CGhostscriptSession& operator=(const CGhostscriptSession&) = delete;

    enum class Result {
        kOk,           // `outputPath` holds the whole raster file
        kUnavailable,  // nothing was rendered; render the file on its own
        kTimedOut,     // the file ran past the time-out; the process was stopped
        kStopped,      // the conversion was stopped at once; the process was killed
    };
    // Renders `inputPath` into `outputPath` (which is replaced).
    Result Render(const std::string& inputPath, const std::string& outputPath);

    const std::string& Device() const { return m_strDevice; }
    bool Usable() const { return !m_bBroken; }

private:
    bool Start();
    void Stop(bool kill);
    bool Send(const std::string& text);
    // Reads the next line that starts with the session's marker; false on
    // end of output, time-out (`timedOut`) or a stop request (m_bStopped).
    bool ReadAnswer(std::string& line, double timeoutSeconds, bool& timedOut);

    std::string m_strDevice;
    std::string m_strFolder;
    std::vector<std::string> m_readable;
    std::function<bool()> m_stop;
    bool m_bStopped = false;
    qm::CChildProcess m_process;  // reads commands on its standard input, answers on its output
    std::string m_strMarker;   // starts every answer line
    std::string m_strPending;  // output read but not yet taken as lines
    bool m_bBroken = false;
};
