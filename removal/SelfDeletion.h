// Deleting the uninstaller and its emptied folder after the process ends,
// through a batch file in the root of the current drive.
#pragma once

// Non-zero when the batch was written and started; zero when the program
// and its folder will stay.
int StartSelfDeletion();
