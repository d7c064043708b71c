// The plug-in's page in the host's preferences: the option that lets Ctrl+Alt end an isolation
// without restoring, the key-assignment button, the manual button and the web-site button.
#pragma once

#include "host_api/c4d.h"
#include "host_api/c4d_nodedata.h"

// Parameter ids of the page's description (VELAPREFS_*), from the plug-in's resource: the button
// that assigns a key to the command, the option (stored under VELASETTINGS_KEEP_VISIBILITY), the
// manual button and the bitmap button that shows the icon and opens the maker's web site.
#include "Prefsvelaprefs.h"

class VelaPrefs : public PrefsDialogObject {
public:
    static NodeData* Alloc();

    Bool Init(GeListNode* node) override;
    Bool Message(GeListNode* node, Int32 type, void* data) override;
    Bool GetDDescription(GeListNode* node, Description* description,
                         DESCFLAGS_DESC& flags) override;
    Bool GetDParameter(GeListNode* node, const DescID& id, GeData& t_data,
                       DESCFLAGS_GET& flags) override;
    Bool SetDParameter(GeListNode* node, const DescID& id, const GeData& t_data,
                       DESCFLAGS_SET& flags) override;
    Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& t_data,
                      DESCFLAGS_ENABLE flags, const BaseContainer* itemdesc) override;
    Bool InitValues(const DescID& id, Description* desc = nullptr) override;

    // Handed to the host with the bitmap button's value; a change would make it fetch the icon
    // again. The icon never changes, so it stays 0.
    Int32 iconDirty = 0;
};

// The plug-in's settings in the host's preferences, created empty when missing; null only when
// the host cannot supply it.
BaseContainer* GetVelaSettings();

// Registers the page with the host.
Bool RegisterVelaPrefs();
