// KSETUP: the test installer. Reads a product manifest, checks all of it,
// then makes every change for real and appends the installation to
// INSTALL.LOG in the application folder.
//
//   KSETUP [manifest]            install
//   KSETUP /X=<list> [manifest]  re-extract the files of a restore list
//   KSETUP /CHECK [manifest]     check the manifest only
//
// Without a manifest argument the program reads the manifest beside itself,
// named like the program with the extension TXT (SETUP.EXE reads SETUP.TXT),
// which is how a repair that starts it with /X= alone finds its product.
#include "install.h"

#include <cstdio>
#include <cstring>

static int HeaderLine(const Directive& d)
{
    const std::string& a = d.args.empty() ? std::string() : d.args[0];
    switch (d.kind) {
    case DirManufacturer:
        LogLine("Manufacturer: " + a);
        return 1;
    case DirProduct:
        LogLine("Product: " + a);
        return 1;
    case DirVersion:
        LogLine("Version Number: " + a);
        return 1;
    case DirSerial:
        LogLine("Serial Number: " + a);
        return 1;
    case DirPerUserId:
        LogLine("Per-User ID: " + a);
        return 1;
    case DirUninstallMif:
        LogLine("Uninstall MIF: " + a);
        return 1;
    case DirAdmin:
        LogLine("User Rights: Admin");
        return 1;
    case DirDeleteInUse:
        LogLine(std::string("Delete in-use files: ") + (EqualNoCase(a, "on") ? "On" : "Off"));
        return 1;
    case DirSystemRestore:
        LogLine("System Restore: Enabled");
        return 1;
    case DirSubsystem:
        LogLine("SubSystem: " + a);
        return 1;
    default:
        return 0;
    }
}

static int RunAction(const Directive& d)
{
    switch (d.kind) {
    case DirDir:
    case DirTree:
        return DoFolder(d);
    case DirCopy:
        return DoCopy(d);
    case DirLink:
        return DoLink(d);
    case DirReg:
        return DoRegValue(d);
    case DirRegTree:
        return DoRegTree(d);
    case DirIniNew:
        return DoIniNew(d);
    case DirIni:
        return DoIni(d);
    case DirEdit:
        return DoEdit(d);
    case DirDelete:
        return DoDelete(d);
    case DirGroup:
        return DoGroup(d);
    case DirExecute:
    case DirExecuteProgram:
        LogLine((d.kind == DirExecute ? "Execute Path: " : "Execute Program: ") + d.args[0]);
        if (d.args.size() > 1 && !d.args[1].empty())
            LogLine("Execute Name: " + d.args[1]);
        return 0;
    case DirService:
        return DoService(d);
    case DirDevice:
        return DoDevice(d);
    case DirRegister:
        return DoRegister(d);
    default:
        return 0;
    }
}

static int Install(Manifest& m)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string source = std::string("Source: ") + self;
    std::string attributes;
    if (m.sourceAttributes && MakeFileAttributesText(self, attributes) == 0)
        source += " | " + attributes;
    LogLine(m.ansi ? "***  Installation log" : "*** Installation log");
    LogLine("Title: " + m.title);
    LogLine(source);
    for (const Directive& d : m.items)
        HeaderLine(d);
    int result = MakeFolderChain(m.appDir, 1);
    for (size_t i = 0; !result && i < m.items.size(); i++)
        result = RunAction(m.items[i]);
    CloseProgramManager();
    // What was done is logged even when a step failed, so that it can be undone.
    if (WriteInstallLog())
        result = 1;
    return result ? 3 : 0;
}

int main(int argc, char** argv)
{
    const char* list = nullptr;
    const char* manifestPath = nullptr;
    int checkOnly = 0;
    for (int i = 1; i < argc; i++) {
        if (_strnicmp(argv[i], "/X=", 3) == 0)
            list = argv[i] + 3;
        else if (_stricmp(argv[i], "/CHECK") == 0)
            checkOnly = 1;
        else if (!manifestPath)
            manifestPath = argv[i];
        else {
            fprintf(stderr, "usage: KSETUP [/X=<restore list> | /CHECK] [manifest]\n");
            return 2;
        }
    }
    std::string besideSelf;
    if (!manifestPath) {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        besideSelf = self;
        size_t dot = besideSelf.find_last_of('.');
        if (dot != std::string::npos && dot > besideSelf.find_last_of('\\'))
            besideSelf.erase(dot);
        besideSelf += ".TXT";
        manifestPath = besideSelf.c_str();
    }
    static Manifest manifest;
    if (LoadManifest(manifestPath, manifest, list == nullptr))
        return 2;
    CurrentManifest = &manifest;
    if (checkOnly)
        return 0;
    if (list)
        return RunRestoreList(list);
    return Install(manifest);
}
