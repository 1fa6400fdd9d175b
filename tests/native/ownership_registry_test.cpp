// What a log may remove from the registry: the system's keys and the keys
// other programs share stay in every spelling, the product's own go.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ownership.h"
#include "engine/ownership_registry.h"
#include "tests/native/fake_system.h"

namespace
{

enum { HKCR = 0, HKCU = 1, HKLM = 2, HKU = 3, HKCC = 4 };

// 乗 is 0x81 0x5C: its second byte is '\'. 丄 (0x81 0x41) and 乤 (0x81 0x61)
// differ only in a second byte that is a letter of either case.
const char Cheng[] = "\x81\x5C";
const char Shang[] = "\x81\x41";
const char Zha[] = "\x81\x61";

struct Services {
    std::vector<ServiceItem> items;
    std::vector<void*> pointers;
    ItemList list;
    RegistryEvidence evidence = {};
    explicit Services(const std::vector<std::string>& names) : items(names.size()), list()
    {
        for (size_t i = 0; i < names.size(); i++) {
            snprintf(items[i].Name, sizeof items[i].Name, "%s", names[i].c_str());
            pointers.push_back(&items[i]);
        }
        list.Items = pointers.data();
        list.Count = (int32_t)pointers.size();
        evidence.services = &list;
    }
};

std::string Canonical(int32_t root, const std::string& key, int32_t* hive = nullptr)
{
    CanonicalKey out;
    if (!CanonicalRegistryKey(root, key.c_str(), &out))
        return "<none>";
    if (hive)
        *hive = out.hive;
    return out.path;
}

struct Case {
    int32_t root;
    std::string key;
    int32_t reason;
};

void ExpectTrees(const std::vector<Case>& cases, const RegistryEvidence* evidence)
{
    for (const Case& c : cases) {
        int32_t got = RegistryTreeReason(c.root, c.key.c_str(), evidence);
        EXPECT_EQ(c.reason, got) << "tree " << c.root << " " << c.key << ": expected \""
                                 << OwnReasonText(c.reason) << "\", got \"" << OwnReasonText(got)
                                 << "\"";
    }
}

void ExpectValues(const std::vector<Case>& cases, const RegistryEvidence* evidence)
{
    for (const Case& c : cases) {
        int32_t got = CreatedValueReason(c.root, c.key.c_str(), evidence);
        EXPECT_EQ(c.reason, got) << "value in " << c.root << " " << c.key << ": expected \""
                                 << OwnReasonText(c.reason) << "\", got \"" << OwnReasonText(got)
                                 << "\"";
    }
}

} // namespace

TEST(RegistryCanonical, EverySpellingOfAKeyComparesAsOne)
{
    int32_t hive = 0;
    EXPECT_EQ("Software\\Vendor\\Product", Canonical(HKCU, "\\\\Software\\\\Vendor\\Product\\\\"));
    EXPECT_EQ("SOFTWARE\\Vendor", Canonical(HKLM, "SOFTWARE\\Wow6432Node\\Vendor", &hive));
    EXPECT_EQ(HiveMachine, hive);
    EXPECT_EQ("Software\\Classes\\CLSID", Canonical(HKLM, "Software\\Classes\\wow6432node\\CLSID"));
    // HKCR is the machine's and the user's Software\Classes at once.
    EXPECT_EQ("Software\\Classes\\.txt", Canonical(HKCR, ".txt", &hive));
    EXPECT_EQ(HiveClasses, hive);
    EXPECT_EQ("Software\\Classes", Canonical(HKCR, "\\Wow6432Node\\"));
    // A user's hive under HKU is that user's HKCU; its _Classes hive that
    // user's classes.
    EXPECT_EQ("Software\\Vendor", Canonical(HKU, "S-1-5-21-7-7-7-1001\\Software\\Vendor", &hive));
    EXPECT_EQ(HiveUser, hive);
    EXPECT_EQ("", Canonical(HKU, "\\.DEFAULT\\"));
    EXPECT_EQ("Software\\Classes\\.txt", Canonical(HKU, "S-1-5-21-7-7-7-1001_CLASSES\\.txt"));
    // HKCC lies in the current control set; a numbered set is the current one.
    EXPECT_EQ("SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\Software",
              Canonical(HKCC, "Software"));
    EXPECT_EQ("system\\CurrentControlSet\\Services\\X",
              Canonical(HKLM, "system\\ControlSet002\\Services\\X"));
    EXPECT_EQ("Software\\ControlSet002", Canonical(HKLM, "Software\\ControlSet002"));
    EXPECT_EQ("SYSTEM\\ControlSet02", Canonical(HKLM, "SYSTEM\\ControlSet02"));

    EXPECT_EQ("<none>", Canonical(9, "Software\\Vendor")) << "no such root";
    EXPECT_EQ("<none>", Canonical(-1, "Software\\Vendor"));
    EXPECT_EQ("<none>", Canonical(HKCU, "Software\\" + std::string(450, 'K'))) << "too long";
    EXPECT_EQ(ReasonUnresolved,
              RegistryTreeReason(HKCU, ("Software\\" + std::string(450, 'K')).c_str(), nullptr));
}

TEST(RegistryTrees, RootsAndKeysOfOneNameStay)
{
    ExpectTrees({{HKCU, "", ReasonRegistryRoot},
                 {HKLM, "\\", ReasonRegistryRoot},
                 {HKCR, "\\\\", ReasonRegistryRoot},
                 {HKLM, "Wow6432Node", ReasonRegistryRoot},
                 {HKCR, "Wow6432Node\\", ReasonRegistryRoot},
                 {HKCC, "", ReasonRegistryRoot},
                 {HKU, "", ReasonRegistryRoot},
                 {HKU, ".DEFAULT", ReasonRegistryRoot},
                 {HKU, "\\.default\\\\", ReasonRegistryRoot},
                 {HKU, "S-1-5-21-7-7-7-1001", ReasonRegistryRoot},
                 {HKU, "S-1-5-21-7-7-7-1001_Classes", ReasonRegistryRoot},
                 {HKCU, "Software", ReasonTopLevelKey},
                 {HKCU, "\\software\\", ReasonTopLevelKey},
                 {HKLM, "SOFTWARE\\\\", ReasonTopLevelKey},
                 {HKLM, "Software\\Wow6432Node", ReasonTopLevelKey},
                 {HKLM, "SYSTEM", ReasonTopLevelKey},
                 {HKLM, "SAM", ReasonTopLevelKey},
                 {HKLM, "HARDWARE", ReasonTopLevelKey},
                 {HKCU, "Environment", ReasonTopLevelKey},
                 {HKCU, "Control Panel", ReasonTopLevelKey},
                 {HKCU, "AnyVendor", ReasonTopLevelKey},
                 {HKU, ".DEFAULT\\Software", ReasonTopLevelKey},
                 {HKU, "S-1-5-21-7-7-7-1001\\Environment", ReasonTopLevelKey},
                 {HKCC, "Software", ReasonTopLevelKey},
                 {HKCC, "\\System\\", ReasonTopLevelKey}},
                nullptr);
}

TEST(RegistryTrees, SharedKeysAndWhatHoldsThemStay)
{
    const char* run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    ExpectTrees(
        {{HKCU, "Software\\Microsoft", ReasonSharedKey},
         {HKLM, "software\\microsoft\\", ReasonSharedKey},
         {HKLM, "Software\\Wow6432Node\\Microsoft", ReasonSharedKey},
         {HKCU, run, ReasonSharedKey},
         {HKLM, std::string("\\") + run + "\\\\", ReasonSharedKey},
         {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", ReasonSharedKey},
         {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", ReasonSharedKey},
         {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths", ReasonSharedKey},
         {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", ReasonSharedKey},
         {HKLM, "Software\\Microsoft\\Windows NT\\CurrentVersion", ReasonSharedKey},
         {HKCU, "Software\\Classes", ReasonSharedKey},
         {HKLM, "SOFTWARE\\CLASSES\\", ReasonSharedKey},
         {HKCU, "Software\\Policies", ReasonSharedKey},
         {HKLM, "Software\\Policies\\Microsoft", ReasonSharedKey},
         {HKLM, "Software\\Clients", ReasonSharedKey},
         {HKLM, "Software\\Clients\\Mail", ReasonSharedKey},
         {HKLM, "Software\\RegisteredApplications", ReasonSharedKey},
         {HKLM, "Software\\ODBC\\ODBC.INI", ReasonSharedKey},
         {HKCU, "Software\\ODBC\\ODBCINST.INI\\ODBC Drivers", ReasonSharedKey},
         {HKCU, "Software\\Wine", ReasonSharedKey},
         {HKLM, "Software\\Wine\\Drives", ReasonSharedKey},
         {HKLM, "Software\\Ketra Solutions", ReasonSharedKey},
         {HKLM, "Software\\Ketra Solutions\\Ketra Installation System\\Repair", ReasonSharedKey},
         {HKLM, "SYSTEM\\CurrentControlSet", ReasonSharedKey},
         {HKLM, "SYSTEM\\CurrentControlSet\\Services", ReasonSharedKey},
         {HKLM, "SYSTEM\\ControlSet001\\Services\\Spooler", ReasonSharedKey},
         {HKLM, "system\\currentcontrolset\\control\\Session Manager", ReasonSharedKey},
         {HKLM, "SYSTEM\\Setup", ReasonSharedKey},
         {HKCC, "Software\\Fonts", ReasonSharedKey},
         {HKCC, "Software\\Vendor\\Product", ReasonSharedKey},
         {HKLM, "SECURITY\\Policy", ReasonSharedKey},
         {HKCU, "Control Panel\\Desktop", ReasonSharedKey},
         {HKCU, "Environment\\Sub", ReasonSharedKey},
         {HKCU, "AppEvents\\Schemes\\Apps", ReasonSharedKey},
         {HKCU, "AppEvents\\Schemes\\Apps\\.Default\\SystemStart", ReasonSharedKey},
         {HKU, "S-1-5-21-7-7-7-1001\\Software\\Microsoft", ReasonSharedKey},
         {HKU, ".DEFAULT\\Control Panel\\International", ReasonSharedKey}},
        nullptr);
}

TEST(RegistryTrees, TheSystemsClassesStayInEverySpelling)
{
    ExpectTrees({{HKCR, "CLSID", ReasonSystemClass},
                 {HKCR, "\\clsid\\", ReasonSystemClass},
                 {HKCR, "Wow6432Node\\CLSID", ReasonSystemClass},
                 {HKLM, "Software\\Classes\\CLSID", ReasonSystemClass},
                 {HKLM, "Software\\Wow6432Node\\Classes\\CLSID", ReasonSystemClass},
                 {HKCU, "Software\\Classes\\Interface", ReasonSystemClass},
                 {HKU, "S-1-5-21-7-7-7-1001_Classes\\TypeLib", ReasonSystemClass},
                 {HKU, "S-1-5-21-7-7-7-1001\\Software\\Classes\\AppID", ReasonSystemClass},
                 {HKCR, "*", ReasonSystemClass},
                 {HKCR, "*\\shellex", ReasonSystemClass},
                 {HKCR, "*\\shellex\\ContextMenuHandlers", ReasonSystemClass},
                 {HKCR, "Directory", ReasonSystemClass},
                 {HKCR, "Directory\\shell", ReasonSystemClass},
                 {HKCR, "Directory\\shell\\find", ReasonSystemClass},
                 {HKCR, "Folder\\shell\\open\\command", ReasonSystemClass},
                 {HKCR, "Drive", ReasonSystemClass},
                 {HKCR, "AllFilesystemObjects", ReasonSystemClass},
                 {HKCR, "SystemFileAssociations", ReasonSystemClass},
                 {HKCR, "MIME\\Database", ReasonSystemClass},
                 {HKCR, "Unknown", ReasonSystemClass},
                 {HKCR, ".exe", ReasonSystemClass},
                 {HKCR, ".EXE\\", ReasonSystemClass},
                 {HKCR, "exefile\\shell\\open\\command", ReasonSystemClass},
                 {HKCR, ".lnk", ReasonSystemClass},
                 {HKCR, "lnkfile", ReasonSystemClass},
                 {HKCR, ".txt", ReasonSystemClass},
                 {HKCR, ".txt\\ShellNew", ReasonSystemClass},
                 {HKCU, "Software\\Classes\\.txt", ReasonSystemClass},
                 {HKCR, "txtfile", ReasonSystemClass},
                 {HKCR, ".dll", ReasonSystemClass},
                 {HKCR, ".bat", ReasonSystemClass},
                 {HKCR, ".reg", ReasonSystemClass},
                 {HKCR, ".msi", ReasonSystemClass},
                 {HKCR, ".html", ReasonSystemClass},
                 {HKCR, ".url", ReasonSystemClass},
                 {HKCR, "http\\shell\\open", ReasonSystemClass},
                 {HKCR, "mailto", ReasonSystemClass},
                 {HKCR, "file", ReasonSystemClass}},
                nullptr);
}

TEST(RegistryTrees, TheProductsOwnTreesGo)
{
    ExpectTrees(
        {{HKCU, "Software\\Vendor", OwnedByLog},
         {HKLM, "Software\\Vendor\\Product\\1.0", OwnedByLog},
         {HKLM, "SOFTWARE\\WOW6432NODE\\Vendor\\Product", OwnedByLog},
         {HKLM, "Software\\Borland\\Database Engine", OwnedByLog},
         {HKLM,
          "Software\\Ketra Solutions\\Ketra Installation System\\Repair\\C:/Program "
          "Files/App/INSTALL.LOG",
          OwnedByLog},
         {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Product", OwnedByLog},
         {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\PRODUCT.EXE", OwnedByLog},
         {HKLM, "Software\\Clients\\Mail\\Product Mail", OwnedByLog},
         {HKLM, "Software\\ODBC\\ODBC.INI\\Product DSN", OwnedByLog},
         {HKCR, ".prd", OwnedByLog},
         {HKCR, "Product.Document\\shell\\open\\command", OwnedByLog},
         {HKCR, "CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}", OwnedByLog},
         {HKCR, "*\\shellex\\ContextMenuHandlers\\Product", OwnedByLog},
         {HKCR, "Directory\\shell\\ProductVerb", OwnedByLog},
         {HKCR, "SystemFileAssociations\\.jpg", OwnedByLog},
         {HKCR, ".txtx", OwnedByLog},
         {HKCR, "exefiles", OwnedByLog},
         {HKU, "S-1-5-21-7-7-7-1001\\Software\\Vendor\\Product", OwnedByLog},
         {HKU, ".DEFAULT\\Software\\Vendor", OwnedByLog},
         {HKCU, "SoftwareX\\Vendor", OwnedByLog},
         {HKCU, "AppEvents\\Schemes\\Apps\\Product", OwnedByLog}},
        nullptr);
}

TEST(RegistryTrees, AServiceKeyIsTheProductsOnlyWhenTheLogMadeTheService)
{
    Services own({"ProdSvc", "Other Svc"});
    ExpectTrees({{HKLM, "SYSTEM\\CurrentControlSet\\Services\\ProdSvc", OwnedByLog},
                 {HKLM, "SYSTEM\\ControlSet001\\Services\\prodsvc\\Parameters", OwnedByLog},
                 {HKLM, "system\\\\controlset003\\services\\Other Svc\\", OwnedByLog},
                 {HKLM, "SYSTEM\\CurrentControlSet\\Services\\ProdSvc2", ReasonSharedKey},
                 {HKLM, "SYSTEM\\CurrentControlSet\\Services\\Prod", ReasonSharedKey},
                 {HKLM, "SYSTEM\\CurrentControlSet\\Services\\RpcSs", ReasonSharedKey},
                 {HKLM, "SYSTEM\\CurrentControlSet\\Services", ReasonSharedKey},
                 // Only in a control set: elsewhere in SYSTEM the name means nothing.
                 {HKLM, "SYSTEM\\Services\\ProdSvc", ReasonSharedKey},
                 {HKLM, "SYSTEM\\CurrentControlSet\\Enum\\ProdSvc", ReasonSharedKey}},
                &own.evidence);
    ExpectTrees({{HKLM, "SYSTEM\\CurrentControlSet\\Services\\ProdSvc", ReasonSharedKey}}, nullptr);
    // A name in the log is not enough when the service says otherwise: its
    // program is none of the product's.
    own.evidence.serviceOwned = [](const char* name) { return std::string(name) != "Other Svc"; };
    ExpectTrees({{HKLM, "SYSTEM\\CurrentControlSet\\Services\\ProdSvc", OwnedByLog},
                 {HKLM, "SYSTEM\\CurrentControlSet\\Services\\Other Svc", ReasonSharedKey}},
                &own.evidence);
}

TEST(RegistryValues, CreatedValuesInTheSystemsConfigurationStay)
{
    Services own({"ProdSvc"});
    const char* winlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    ExpectValues(
        {{HKLM, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", ReasonSystemValue},
         {HKLM, "\\system\\controlset001\\control\\session manager\\Environment",
          ReasonSystemValue},
         {HKLM, "SYSTEM\\CurrentControlSet\\Services\\Spooler", ReasonSystemValue},
         {HKLM, "SYSTEM\\CurrentControlSet\\Services", ReasonSystemValue},
         {HKLM, "SYSTEM", ReasonSystemValue},
         {HKCC, "Software\\Fonts", ReasonSystemValue},
         {HKLM, winlogon, ReasonSystemValue},
         {HKLM, std::string("SOFTWARE\\Wow6432Node\\") + (winlogon + 9), ReasonSystemValue},
         {HKCU, winlogon, ReasonSystemValue},
         // The log's own service, and the shared keys products add to.
         {HKLM, "SYSTEM\\CurrentControlSet\\Services\\ProdSvc", OwnedByLog},
         {HKLM, "SYSTEM\\ControlSet002\\Services\\ProdSvc\\Parameters", OwnedByLog},
         {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", OwnedByLog},
         {HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", OwnedByLog},
         {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\P.EXE", OwnedByLog},
         {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", OwnedByLog},
         {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Product", OwnedByLog},
         {HKLM, "Software\\Microsoft\\Windows NT\\CurrentVersion", OwnedByLog},
         {HKCU, "Environment", OwnedByLog},
         {HKCR, ".prd", OwnedByLog},
         {HKCU, "Software\\Vendor", OwnedByLog}},
        &own.evidence);
}

class RegistryDoubleByte : public ::testing::Test
{
  protected:
    void SetUp() override { UseDoubleByteRule(); }
    void TearDown() override { ResetFakeSystem(); }
};

TEST_F(RegistryDoubleByte, NamesAreWholeCharacters)
{
    // A second byte of '\' splits no name: one name under HKCU stays as a
    // key of one name, two names are a vendor's key.
    std::string one = std::string("Soft") + Cheng;
    EXPECT_EQ(one, Canonical(HKCU, one + "\\"));
    EXPECT_EQ(ReasonTopLevelKey, RegistryTreeReason(HKCU, one.c_str(), nullptr));
    std::string vendor = std::string("Software\\") + Cheng;
    EXPECT_EQ(vendor, Canonical(HKCU, vendor));
    EXPECT_EQ(OwnedByLog, RegistryTreeReason(HKCU, vendor.c_str(), nullptr));
    // A name ending in a character whose second byte is '\' followed by a
    // real backslash: the empty name after it is still dropped.
    EXPECT_EQ(vendor + "\\X", Canonical(HKCU, vendor + "\\\\X\\"));

    // Service names compare as whole characters: a second byte that is a
    // letter is never folded.
    std::string svc = std::string("Svc") + Shang;
    Services own({svc});
    std::string base = "SYSTEM\\CurrentControlSet\\Services\\";
    EXPECT_EQ(OwnedByLog, RegistryTreeReason(HKLM, (base + "SVC" + Shang).c_str(), &own.evidence));
    EXPECT_EQ(ReasonSharedKey,
              RegistryTreeReason(HKLM, (base + "Svc" + Zha).c_str(), &own.evidence));
    EXPECT_EQ(ReasonSystemValue,
              CreatedValueReason(HKLM, (base + "Svc" + Zha).c_str(), &own.evidence));
    // "Wow6432Node" after a second byte of '\' is part of a name, not one.
    std::string hidden = std::string("Software\\X") + Cheng + "Wow6432Node";
    EXPECT_EQ(hidden, Canonical(HKLM, hidden));
}
