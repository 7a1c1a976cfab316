// Giving back the file types that the product took over, on systems older
// than Windows Vista.
#pragma once

void RestoreFileAssociations();
