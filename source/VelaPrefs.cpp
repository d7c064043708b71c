#include "VelaPrefs.h"

#include <new>

#include "VelaHotkey.h"
#include "c4d_symbols.h"
#include "vela_ids.h"

// The page's description in the resource and the page the module registers are one.
static_assert(static_cast<Int32>(Prefsvelaprefs) == static_cast<Int32>(ID_VELAPREFS));

namespace {

constexpr const char* kDescriptionName = "Prefsvelaprefs";
constexpr Int32 kPagePosition = 10000050;
constexpr Int32 kPageParent = 0;
constexpr Int32 kPagePositionKey = 700;
constexpr Int32 kPageParentKey = 701;
constexpr const char* kWebSite = "https://velacraft.example.org/vela";

// The code of the host's language: the default one, or the last the host lists.
String HostLanguageCode() {
    String code;
    String candidate;
    String name;
    Bool isDefault = false;
    for (Int32 index = 0; GeGetLanguage(index, &candidate, &name, &isDefault); ++index) {
        code = candidate;
        if (isDefault) {
            break;
        }
    }
    return code;
}

void OpenManual() {
    const char* manual =
        GeStringCompare(HostLanguageCode(), String("DE")) == 0 ? "ManualDE.pdf" : "ManualEN.pdf";
    GeExecuteFile(GeGetPluginPath() + String(manual));
}

// The icon, drawn on the web-site button. An icon that cannot be read leaves the empty image.
BaseBitmap* LoadWebsiteBitmap() {
    BaseBitmap* bitmap = BaseBitmap::Alloc();
    if (bitmap == nullptr) {
        return nullptr;
    }
    bitmap->Init(32, 32, 24, INITBITMAPFLAGS::NONE);
    bitmap->Init(GeGetPluginPath() + String("res") + String("vela_icon.tif"));
    return bitmap;
}

}  // namespace

NodeData* VelaPrefs::Alloc() { return new (std::nothrow) VelaPrefs(); }

BaseContainer* GetVelaSettings() {
    BaseContainer* world = GetWorldContainerInstance();
    if (world == nullptr) {
        return nullptr;
    }
    if (BaseContainer* settings = world->GetContainerInstance(ID_VELASETTINGS)) {
        return settings;
    }
    world->SetContainer(ID_VELASETTINGS, BaseContainer());
    return world->GetContainerInstance(ID_VELASETTINGS);
}

Bool VelaPrefs::Init(GeListNode* /*node*/) {
    iconDirty = 0;
    InitValues(DescID(VELAPREFS_KEEP_VISIBILITY));
    return true;
}

Bool VelaPrefs::InitValues(const DescID& id, Description* desc) {
    BaseContainer* settings = GetVelaSettings();
    if (settings == nullptr) {
        return false;
    }
    if (id[0].id != VELAPREFS_KEEP_VISIBILITY) {
        return true;
    }
    InitPrefsValue(VELASETTINGS_KEEP_VISIBILITY, GeData(Int32(0)), desc, id, settings);
    return true;
}

Bool VelaPrefs::GetDDescription(GeListNode* node, Description* description, DESCFLAGS_DESC& flags) {
    if (!description->LoadDescription(String(kDescriptionName))) {
        return false;
    }
    if (Any(flags & DESCFLAGS_DESC::NEEDDEFAULTVALUE)) {
        InitValues(DescID(VELAPREFS_KEEP_VISIBILITY), description);
    }
    flags |= DESCFLAGS_DESC::LOADED;
    return PrefsDialogObject::GetDDescription(node, description, flags);
}

Bool VelaPrefs::GetDParameter(GeListNode* node, const DescID& id, GeData& t_data,
                              DESCFLAGS_GET& flags) {
    BaseContainer* settings = GetVelaSettings();
    if (settings == nullptr) {
        return PrefsDialogObject::GetDParameter(node, id, t_data, flags);
    }
    switch (id[0].id) {
        case VELAPREFS_KEEP_VISIBILITY:
            // A missing key shows as off, as the command reads it.
            t_data.SetInt32(settings->GetBool(VELASETTINGS_KEEP_VISIBILITY, false) ? 1 : 0);
            flags |= DESCFLAGS_GET::PARAM_GET;
            return true;
        case VELAPREFS_WEBSITE: {
            const BitmapButtonStruct button(node, id, iconDirty);
            t_data.SetCustomDataType(CUSTOMDATATYPE_BITMAPBUTTON, &button.data,
                                     sizeof(button.data));
            flags |= DESCFLAGS_GET::PARAM_GET;
            break;
        }
        default:
            break;
    }
    return PrefsDialogObject::GetDParameter(node, id, t_data, flags);
}

Bool VelaPrefs::SetDParameter(GeListNode* node, const DescID& id, const GeData& t_data,
                              DESCFLAGS_SET& flags) {
    BaseContainer* settings = GetVelaSettings();
    if (settings == nullptr) {
        return PrefsDialogObject::SetDParameter(node, id, t_data, flags);
    }
    switch (id[0].id) {
        case VELAPREFS_KEEP_VISIBILITY:
            settings->SetBool(VELASETTINGS_KEEP_VISIBILITY, t_data.GetInt32() != 0);
            flags |= DESCFLAGS_SET::PARAM_SET;
            GeUpdateUI();
            return true;
        case VELAPREFS_WEBSITE:
            flags |= DESCFLAGS_SET::PARAM_SET;  // nothing to store: the button only acts
            break;
        default:
            break;
    }
    return PrefsDialogObject::SetDParameter(node, id, t_data, flags);
}

Bool VelaPrefs::GetDEnabling(GeListNode* node, const DescID& id, const GeData& t_data,
                             DESCFLAGS_ENABLE flags, const BaseContainer* itemdesc) {
    return PrefsDialogObject::GetDEnabling(node, id, t_data, flags, itemdesc);
}

Bool VelaPrefs::Message(GeListNode* /*node*/, Int32 type, void* data) {
    if (type == MSG_DESCRIPTION_COMMAND && data != nullptr) {
        const Int32 clicked = static_cast<const DescriptionCommand*>(data)->_descId[0].id;
        if (clicked == VELAPREFS_ASSIGN_HOTKEY) {
            AssignVelaHotkey();
        }
        if (clicked == VELAPREFS_WEBSITE) {
            GeOpenHTML(String(kWebSite));
        }
        if (clicked == VELAPREFS_MANUAL) {
            OpenManual();
        }
    } else if (type == MSG_DESCRIPTION_GETBITMAP && data != nullptr) {
        auto* request = static_cast<DescriptionGetBitmap*>(data);
        if (request->_descId[0].id == VELAPREFS_WEBSITE) {
            if (BaseBitmap* bitmap = LoadWebsiteBitmap()) {
                request->_bmp = bitmap;
            }
        }
    }
    return true;
}

Bool RegisterVelaPrefs() {
    const String title = GeLoadString(IDS_VELAPREFS_TITLE);
    if (!RegisterDescription(ID_VELAPREFS, String(kDescriptionName))) {
        return false;
    }
    if (!RegisterPreferencePlugin(ID_VELAPREFS, title, VelaPrefs::Alloc)) {
        return false;
    }
    BasePlugin* page = FindPlugin(ID_VELAPREFS, PLUGINTYPE::PREFS);
    if (page == nullptr) {
        return false;
    }
    BaseContainer* data = page->GetDataInstance();
    data->SetInt32(kPagePositionKey, kPagePosition);
    data->SetInt32(kPageParentKey, kPageParent);
    return true;
}
