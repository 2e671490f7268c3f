#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "HostSession.h"

namespace testsupport {

// Processor time a child process (the host under Wine) has used so far, in milliseconds.
double ChildCpuMs(int pid);

// The Wine prefix that the tests run the Windows host in, named by WINEPREFIX: its drive_c holds
// the Windows directory (Inkora.ini) and C:\temp (tessel.log). The settings file, the log and
// any COM port mapping a test makes are removed again when the object goes.
class WinePrefix {
public:
    // The prefix at `path`; by default the one WINEPREFIX names.
    explicit WinePrefix(const std::string& path = SharedPath());
    static std::string SharedPath() {
        const char* shared = std::getenv("WINEPREFIX");
        return shared != nullptr ? shared : "";
    }
    ~WinePrefix();
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    const std::string& path() const { return path_; }
    std::string WindowsPath(const std::string& name) const;
    std::string TempPath(const std::string& name) const;
    void WriteSettings(const std::string& iniText) const;
    // The messages of C:\temp\tessel.log, without time and thread; whether one is `line`.
    std::vector<std::string> LogMessages() const;
    bool LogHas(const std::string& line) const;
    // Makes COMn of the prefix open `device`, as Wine maps a port through dosdevices/comn.
    void MapComPort(int n, const std::string& device);

    // The host .exe started under Wine in this prefix; its trace lines (the debugger output)
    // appear in its error output as Wine reports them.
    std::unique_ptr<HostSession> StartHost() const;

private:
    std::string path_;
    std::string mappedPort_;
};

}  // namespace testsupport
