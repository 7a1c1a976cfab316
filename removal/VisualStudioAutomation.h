// Removing the product's command bar and command from one Visual Studio
// through its automation object.
#pragma once

// progId: "VisualStudio.DTE.8.0" to "VisualStudio.DTE.11.0". Creates the
// object, removes the "Quorvex GlyphSmith" command bar and the add-in's
// command where they exist, then asks the environment to quit. A class that
// is not registered, an object that cannot be created or one that lacks the
// _DTE interface is skipped silently.
void RemoveAddinThroughAutomation(const wchar_t* progId);
