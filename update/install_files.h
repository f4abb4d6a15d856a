// The installer's file operations on the system's own file systems.
#pragma once

#include <windows.h>

#include "install.h"

class WindowsInstallFiles : public install::InstallFiles {
public:
    bool exists(const std::string& path) override;
    bool reserveTemporary(const std::string& folder, std::string& name) override;
    bool move(const std::string& from, const std::string& to, bool replace) override;
    bool remove(const std::string& path) override;
    bool setStored(const std::string& path, std::uint16_t date, std::uint16_t time,
                   std::uint16_t attributes) override;
    bool getTimes(const std::string& path, install::FileTimes& times) override;
    bool setTimes(const std::string& path, const install::FileTimes& times) override;
    bool writeWhole(const std::string& path, const std::string& bytes) override;
    int readWhole(const std::string& path, std::string& bytes) override;
    bool removeTemporaries(const std::string& folder) override;
    void afterMove() override;

    // Milliseconds to wait after each file put in place; 0 but in tests.
    DWORD moveDelay = 0;
};
