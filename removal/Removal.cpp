#include "removal/Removal.h"

#include "removal/AssociationRestore.h"
#include "removal/FileRemoval.h"
#include "removal/RegistryCleanup.h"
#include "removal/RemovalRun.h"

namespace {

// A point between two steps: the bar's position, then messages and a pause
// in the order the page keeps them.
void Between(IRemovalProgress* progress, int position, DWORD pauseMs, bool pauseFirst = false) {
    if (!progress) return;
    progress->SetPosition(position);
    if (pauseFirst) progress->Pause(pauseMs);
    progress->Pump();
    if (!pauseFirst) progress->Pause(pauseMs);
}

void Reached(RemovalPoint point) {
    if (RemovalPointHook) RemovalPointHook(point, 0);
}

}  // namespace

void (*RemovalPointHook)(RemovalPoint point, int index) = nullptr;

void RunRemoval(const CRemovalInput& input, CRemovalRun& run, IRemovalProgress* progress) {
    Between(progress, 10, 100);
    Between(progress, 10, 100);
    if (input.FilesToRemove) RemoveInstalledFiles(*input.FilesToRemove, run, input.SettingsFile);
    Reached(RemovalPoint::FilesDone);
    Between(progress, 40, 300);
    RestoreFileAssociations(input.ProductKey, input.IsVistaOrLater, run);
    Reached(RemovalPoint::AssociationsDone);
    Between(progress, 60, 300);
    CleanRegistry(input, run);
    Reached(RemovalPoint::RegistryDone);
    if (!input.SettingsFile.IsEmpty()) {
        CStringList settings;
        settings.Add(input.SettingsFile);
        RemoveInstalledFiles(settings, run);
    }
    Reached(RemovalPoint::SettingsDone);
    Between(progress, 70, 300);
    RemovePreviewFiles(input.PreviewFolder, run, progress);
    Reached(RemovalPoint::PreviewDone);
    Between(progress, 100, 400, true);
    Between(progress, 100, 400, true);
    Between(progress, 100, 400);
}
