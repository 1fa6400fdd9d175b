// Libraries looked up at run time come from the System folder or the
// program's own folder, never from the current directory or PATH.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/libraries.h"
#include "tests/win32/test_support.h"

static std::string StandInPath(const char* file)
{
    return BuildToolPath("standins", file);
}

static std::string ModuleFolder(HMODULE module)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.rfind('\\'));
}

TEST(Libraries, SystemLibraryComesFromTheSystemFolder)
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    HMODULE ole = LoadSystemLibrary("OLE32.DLL");
    ASSERT_NE(nullptr, ole);
    EXPECT_EQ(0, lstrcmpiA(system, ModuleFolder(ole).c_str()))
        << "expected " << system << ", got " << ModuleFolder(ole);
    FreeLibrary(ole);
    EXPECT_EQ(nullptr, LoadSystemLibrary("KTNOSUCH.DLL"));
}

// A library planted in the current directory and on PATH under a name the
// System folder and the program's folder do not hold is found by the
// system's own search, and by neither of ours.
TEST(Libraries, PlantedLibraryInTheCurrentDirectoryOrPathIsNotLoaded)
{
    std::string plant = ScratchFolder("plantedlib");
    ASSERT_TRUE(
        CopyFileA(StandInPath("ismif32.dll").c_str(), (plant + "\\ismif32.dll").c_str(), FALSE))
        << "no stand-in at " << StandInPath("ismif32.dll");
    ASSERT_TRUE(
        CopyFileA(StandInPath("SFC.DLL").c_str(), (plant + "\\KTPLANT.DLL").c_str(), FALSE));
    char savedDirectory[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, savedDirectory);
    char savedPath[8192] = "";
    DWORD hadPath = GetEnvironmentVariableA("PATH", savedPath, sizeof savedPath);

    struct Case {
        const char* how;
        const char* directory;
        std::string path;
    };
    Case cases[] = {{"current directory", plant.c_str(), savedPath},
                    {"PATH", savedDirectory, plant + ";" + savedPath}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        ASSERT_TRUE(SetCurrentDirectoryA(c.directory));
        SetEnvironmentVariableA("PATH", c.path.c_str());
        // The plant works: the system's search finds it.
        HMODULE bare = LoadLibraryA("KTPLANT.DLL");
        EXPECT_NE(nullptr, bare) << "the planted library is not reachable by its bare name";
        if (bare)
            FreeLibrary(bare);
        HMODULE system = LoadSystemLibrary("KTPLANT.DLL");
        EXPECT_EQ(nullptr, system) << "loaded from " << ModuleFolder(system);
        if (system)
            FreeLibrary(system);
        HMODULE report = LoadLibraryBesideProgram("ismif32.dll");
        EXPECT_EQ(nullptr, report) << "loaded from " << ModuleFolder(report);
        if (report)
            FreeLibrary(report);
    }
    SetCurrentDirectoryA(savedDirectory);
    SetEnvironmentVariableA("PATH", hadPath ? savedPath : nullptr);
    RemoveTree(plant);
}
