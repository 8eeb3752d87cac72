#pragma once
// What the running program holds in memory: file locations, the two INI
// files, the options, the phone slots and the regions. The phone results are
// kept by a ResultStore.
// One instance lives for the whole run; tests make their own on temporary
// folders.

#include "core/AppPaths.h"
#include "core/config/IniFile.h"
#include "core/config/LiveOptions.h"
#include "core/config/PhoneList.h"
#include "core/config/Regions.h"

namespace zelvant {

class AppContext
{
public:
    explicit AppContext(const AppPaths &paths)
        : paths(paths)
        , settingsFile(paths.settingsFile())
        , regionFile(paths.regionFile())
        , regions(regionFile)
    {
    }
    AppContext(const AppContext &) = delete;
    AppContext &operator=(const AppContext &) = delete;

    // Login address of a slot's region, empty when the region is unknown.
    QString loginUrlOf(int slot) const
    {
        return regions.loginUrlForShortName(phones.slot(slot).region);
    }

    const AppPaths paths;
    IniFile settingsFile;
    IniFile regionFile;
    LiveOptions options;
    PhoneList phones;
    RegionList regions;
    bool phonesFileUnreadable = false; // set by the last LoadPhones
};

} // namespace zelvant
