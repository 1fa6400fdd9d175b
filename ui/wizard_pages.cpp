#include "ui/wizard_pages.h"

#include "app/run_state.h"
#include "log/reader.h"
#include "ui/page_rows.h"

static void StepThroughSelectionPages(int32_t forward)
{
    for (;;) {
        // 8-bit page arithmetic: Back from page 0 wraps to 255, which is
        // past page 10 and so becomes the final page.
        WizardPage = (uint8_t)(forward ? WizardPage + 1 : WizardPage - 1);
        if (WizardPage == 0)
            return;
        if (WizardPage <= LastSelectionPage) {
            if (PageRowCount(WizardPage) > 0)
                return;
            continue;
        }
        WizardPage = PageFinal;
        return;
    }
}

void NextPage(int32_t forward)
{
    if (UninstallMode != ModeAutomatic && UninstallMode != ModeRepair) {
        StepThroughSelectionPages(forward);
        return;
    }
    int32_t rollback = BackupsPresent && UninstallMode == ModeAutomatic;
    if (forward) {
        if (WizardPage == PageFinal || WizardPage == PageRollback)
            WizardPage = PageFinal;
        else
            WizardPage = (uint8_t)(rollback ? (int)PageRollback : (int)PageFinal);
        return;
    }
    if (WizardPage == 0 || WizardPage == PageRollback)
        WizardPage = 0;
    else
        WizardPage = (uint8_t)(rollback ? (int)PageRollback : 0);
}
