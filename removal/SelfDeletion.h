// Deleting the uninstaller and its emptied folder after the process ends,
// through a batch file in the root of the drive that holds the Windows
// folder ("C:\QVUninst.bat", or "C:\QVUninst1.bat" to "...9.bat" while
// that name is taken), run by the system's command interpreter.
#pragma once

// Non-zero when the batch was written and started; zero when the program
// and its folder will stay.
int StartSelfDeletion();
