// The wizard's page order: which page Next and Back lead to.
#pragma once
#include <cstdint>

// The page one step forward (forward = 1) or back (0) from page in mode. In
// the Custom mode selection pages without rows are skipped and everything
// past page 10 becomes the final page; in the Automatic and Repair modes the
// way goes from the mode page to the final page, through the roll-back page
// when the log holds backup copies and the mode is Automatic.
uint8_t NextPage(uint8_t page, int32_t mode, int32_t forward);
