// The host's global services: preferences, the active document, input, threads and events.
#pragma once

#include "c4d_basecontainer.h"
#include "c4d_basedocument.h"
#include "c4d_filename.h"
#include "c4d_string.h"
#include "c4d_types.h"

// A copy of the host's preferences (the world container).
BaseContainer GetWorldContainer();
// The host's preferences in place; changes are the host's at once.
BaseContainer* GetWorldContainerInstance();

// The document the user works in.
BaseDocument* GetActiveDocument();

// Fills `res` with the present state of one input channel of a device (for the keyboard's
// qualifiers: BFM_INPUT_KEYBOARD, BFM_INPUT_QUALIFIER, the mask under BFM_INPUT_QUALIFIER).
// False when the host cannot tell.
Bool GetInputState(Int32 askdevice, Int32 askchannel, BaseContainer& res);

// Stops the host's background threads before the module changes the scene.
void StopAllThreads();

// Tells the host that the scene changed, so it redraws and refreshes the command states.
void EventAdd(EVENT eventflag = EVENT::NONE);

// String `id` of the module's string table in the host's language; empty without a resource.
String GeLoadString(Int32 id);

// The host's installed language at `index`: its code (e.g. "US", "DE"), its name, and whether it
// is the default language. False past the last one.
Bool GeGetLanguage(Int32 index, String* extension, String* name, Bool* default_language);

// The folder the module file lies in.
Filename GeGetPluginPath();

// Opens a file with the application the system associates with it.
Bool GeExecuteFile(const Filename& path);

// Opens a web address in the user's browser.
Bool GeOpenHTML(const String& webaddress);

// Redraws the host's interface.
void GeUpdateUI();

// Compares two texts as the host does: 0 when equal.
Int32 GeStringCompare(const String& a, const String& b);
