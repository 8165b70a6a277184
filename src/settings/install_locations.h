#pragma once
// The product's installation directory and project folder, kept in the
// current user's registry (values "Directory" and "Project" of SettingsKey).
// Nothing is cached: every read asks the registry again.

#include "common/wide_text.h"

/* Returns the stored installation directory, ending in a backslash, or the
   default "C:\Velmaris\" when the value is missing, unreadable, longer than
   254 characters, or does not name an existing folder. Creates the empty
   keys when they are missing. */
WideText ReadInstallDirectory();

/* As ReadInstallDirectory, for the project folder; the default is
   "C:\Velmaris\Default.pro\". */
WideText ReadProjectFolder();

/* Stores `path` (narrow, system code page) as the installation directory
   after removing one trailing backslash, but only when the result names an
   existing folder; otherwise nothing is written and no key is created.
   Reports nothing. */
void StoreInstallDirectory(const char* path);

/* As StoreInstallDirectory, for the project folder. */
void StoreProjectFolder(const char* path);

/* True when `path`, unchanged (no wildcard added), names an existing folder
   that is not "." or "..", is at most 259 characters long, and has a full
   form that fits in 260 characters. A path ending in a backslash never
   passes. */
bool IsExistingFolder(const char* path);
