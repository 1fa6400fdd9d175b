// Connects the portable helpers to the running system: CharNextA for text
// stepping and the file system for the path helpers.
#pragma once

void UseSystemRules();
