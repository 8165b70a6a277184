#pragma once
// The program's run: the main dialog, created, shown and pumped to its end.
#include <windows.h>

/* Needs AppModule set up (and COM and the common controls initialised).
   Registers a message loop for the calling thread, creates the main dialog
   from the module's instance, shows it with `showCommand` and runs the loop
   until the quit message; then unregisters the loop and destroys the dialog.
   Returns the quit message's wParam: the id of the command that closed the
   dialog (1 or 2), or 0 when the dialog cannot be created (nothing is shown
   then and no window is left). */
int RunApplication(int showCommand);
