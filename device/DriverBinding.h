// Run-time binding of the converter driver: the vendor's D2XX library when the
// system loader finds it, otherwise our own implementation over libftdi1.
#pragma once

#include "FtApi.h"

#include <string>

namespace tirevo {

enum class FTDriverKind { None, Library, Builtin };

// Tries the vendor library under its platform name first, then falls back to
// the built-in libftdi1 layer. Returns what was bound.
FTDriverKind BindFTDriver();

// Binds the twelve entry points of one given shared library (a full path or a
// name for the loader). Returns false, and leaves the binding unchanged, when
// the library cannot be loaded or lacks one of the entry points.
bool BindFTDriverLibrary(const std::string& libraryPath);

// Binds the built-in libftdi1 layer.
void BindBuiltinFTDriver();

// Binds a table whose calls all fail: no converters are ever listed.
void UnbindFTDriver();

// For tests: binds the given entry points. Every one must be set; start from
// FTDriver() to replace only some of them.
void BindFTDriverTable(const FTDriverTable& table);

FTDriverKind BoundFTDriverKind();

// The entry points in use; never holds a null pointer.
const FTDriverTable& FTDriver();

// The bound driver's Tirevo_GetRefusedDevices, or one that names nothing
// when the driver has none (the vendor's library); never null. Binding a
// table for tests leaves it as it was.
PFN_Tirevo_GetRefusedDevices FTRefusedDevicesCall();

}  // namespace tirevo
