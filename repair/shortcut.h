// Shell links rebuilt from their recorded link information.
#pragma once

// Rebuilds the link at linkPath, with its folders; failures are silent.
void RecreateShortcut(const char* linkPath, const char* linkInfo);
// Creates every folder along path up to its last backslash (path is
// changed during the call and restored).
void CreateDirectoryPath(char* path);
