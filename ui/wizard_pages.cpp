#include "ui/wizard_pages.h"

#include "engine/uninstall.h"
#include "log/reader.h"
#include "ui/page_rows.h"

static uint8_t StepThroughSelectionPages(uint8_t page, int32_t forward)
{
    for (;;) {
        // 8-bit page arithmetic: Back from page 0 wraps to 255, which is
        // past page 10 and so becomes the final page.
        page = (uint8_t)(forward ? page + 1 : page - 1);
        if (page == 0)
            return page;
        if (page <= LastSelectionPage) {
            if (PageRowCount(page) > 0)
                return page;
            continue;
        }
        return PageFinal;
    }
}

uint8_t NextPage(uint8_t page, int32_t mode, int32_t forward)
{
    if (mode != ModeAutomatic && mode != ModeRepair)
        return StepThroughSelectionPages(page, forward);
    int32_t rollback = BackupsPresent && mode == ModeAutomatic;
    if (forward) {
        if (page == PageFinal || page == PageRollback)
            return PageFinal;
        return (uint8_t)(rollback ? (int)PageRollback : (int)PageFinal);
    }
    if (page == 0 || page == PageRollback)
        return 0;
    return (uint8_t)(rollback ? (int)PageRollback : 0);
}
