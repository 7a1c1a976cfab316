// Deleting the uninstaller and its emptied folder after the process ends,
// through a batch file in the root of the current drive.
#pragma once

void StartSelfDeletion();
