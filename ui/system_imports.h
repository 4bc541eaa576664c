// The system DLLs beyond kernel32 and the C runtime, loaded from System32 only.
#pragma once

// Loads comctl32, gdi32, ole32, shell32, shlwapi and user32 with LOAD_LIBRARY_SEARCH_SYSTEM32
// and fills the pointers through which the stub calls them. False when a DLL or a function
// is missing: nothing of these DLLs may be called then. Call it after
// SetDefaultDllDirectories, before anything else uses them.
bool loadSystemImports();
