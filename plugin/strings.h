// Texts of the module's string table.
#pragma once

#include "plugin/host.h"

/// The module's instance handle, stored when the module is attached; null
/// before that. Every string lookup needs it.
extern HINSTANCE moduleInstance;

/// String `id` of the module's string table, or null when the module handle
/// is not set yet or the string does not exist. The text lives in one
/// module-wide buffer of 512 characters that the next call overwrites: copy it
/// at once.
const MCHAR* LoadPluginString(int id);

/// The same text copied into a host string; empty where LoadPluginString
/// gives null.
MSTR PluginString(int id);
