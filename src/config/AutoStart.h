#pragma once
// Per-user autostart entry: the XDG autostart file on Linux, the "Run"
// registry value on Windows.

#include <QString>

#include <memory>

namespace zelvant {

class AutoStart
{
public:
    virtual ~AutoStart() = default;
    virtual bool SetAutoStart(bool on, QString *error = nullptr) = 0;
    virtual bool isRegistered() const = 0;
};

// The implementation for this platform, for the given executable.
std::unique_ptr<AutoStart> CreatePlatformAutoStart(const QString &executablePath);

} // namespace zelvant
