// Catalogue messages the engine names itself (the windows' resource script
// defines the same numbers; ui/engine_reporter_win32.cpp checks that they
// agree).
#pragma once

enum EngineMessage {
    MsgProgressFiles = 29,
    MsgProgressSystemFiles = 30,
    MsgProgressFolders = 31,
    MsgProgressEmptyFolders = 32,
    MsgProgressIniFiles = 33,
    MsgProgressIniEntries = 34,
    MsgProgressRegValues = 35,
    MsgProgressRegRestore = 36,
    MsgProgressIcons = 37,
    MsgProgressUnregister = 40,
    MsgProgressSubsystems = 44,
    MsgWorkingUninstall = 45,
    MsgProgressRegTrees = 56,
    MsgProgressPrograms = 57,
    MsgProgressServices = 58
};
