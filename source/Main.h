// The module's entry routines and its console output.
#pragma once

#include "host_api/c4d.h"

// Called by the entry point on the host's life-cycle messages.
Bool PluginStart();
Bool PluginMessage(Int32 id, void* data);

// Writes one line to the host's default console logger, with `file` and `line` as the place in
// the module's source it comes from. Dropped silently when the logger cannot be reached.
void WriteConsoleLine(const String& text, const char* file, Int32 line);

// The folder of the plug-in's resource: beside the module in "res", or, for a module installed
// among the host's own core modules, in the host's resource folder.
Filename GetResourceFolder();

// The full path of the module file; empty before start-up and after the end.
Filename GetModulePath();
