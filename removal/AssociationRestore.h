// Giving back the file types that the product took over, on systems older
// than Windows Vista.
#pragma once

#include "framework/String.h"

class CRemovalRun;

// Walks the saved "Associations" record of the product's key and puts each
// previous default value back; does nothing from Windows Vista on.
void RestoreFileAssociations(const CString& productKey, int isVistaOrLater, CRemovalRun& run);
