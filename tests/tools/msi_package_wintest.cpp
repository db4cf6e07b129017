// The installer package under Wine's msiexec, as a location's IT person uses
// it: a silent install with and without REGCODE, an upgrade, a refused
// downgrade and an uninstall; what lands where, and what must stay.
#include <gtest/gtest.h>

#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <sddl.h>
#include <shlobj.h>

#include <optional>
#include <vector>

#include "config/location_settings.h"
#include "config/settings_rules.h"
#include "support/win_support_win.h"

namespace quendrel::testing {
namespace {

const std::string kUpgradeCode = "{" QUENDREL_UPGRADE_CODE "}";

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}
std::string InstalledExe() { return KnownFolder(CSIDL_PROGRAM_FILESX86) + "\\Quendrel\\Quendrel.exe"; }
std::string DataFolder() { return KnownFolder(CSIDL_COMMON_APPDATA) + "\\Quendrel"; }

bool FolderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int Msiexec(const std::string& arguments) { return RunAndWait("msiexec.exe " + arguments + " /qn", 120000); }
int Install(const char* package, const std::string& regCode = "") {
    return Msiexec("/i \"" + WinePath(package) + "\"" + (regCode.empty() ? "" : " REGCODE=" + regCode));
}

struct Installed {
    std::string productCode;
    std::string version;
};
// The installed products of this upgrade code.
std::vector<Installed> InstalledProducts() {
    std::vector<Installed> products;
    char code[39] = {};
    for (DWORD i = 0; MsiEnumRelatedProductsA(kUpgradeCode.c_str(), 0, i, code) == ERROR_SUCCESS; ++i) {
        char version[64] = {};
        DWORD size = sizeof version;
        MsiGetProductInfoA(code, INSTALLPROPERTY_VERSIONSTRING, version, &size);
        products.push_back({code, version});
    }
    return products;
}
std::vector<std::string> InstalledVersions() {
    std::vector<std::string> versions;
    for (const Installed& product : InstalledProducts()) versions.push_back(product.version);
    return versions;
}

// A registry value under HKEY_LOCAL_MACHINE in one view: its type and text.
struct RegValue {
    DWORD type = REG_NONE;
    std::string text;
    bool operator==(const RegValue& other) const { return type == other.type && text == other.text; }
};
std::optional<RegValue> ReadValue(const std::string& subkey, const char* name, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegValue value;
    char data[4096] = {};
    DWORD size = sizeof data - 1;
    const LSTATUS read = RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) return std::nullopt;
    value.text = data;
    return value;
}
std::optional<RegValue> ReadRegCode(REGSAM view) { return ReadValue(kLocationSubkey, kLocationValueName, view); }

// What the Add/Remove Programs entry of `productCode` says under `name`.
std::string UninstallEntry(const std::string& productCode, const char* name) {
    const std::string subkey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        if (const std::optional<RegValue> value = ReadValue(subkey, name, view)) return value->text;
    }
    return "<no " + std::string(name) + ">";
}

struct Shortcut {
    std::string target;
    std::string workingFolder;
};
// The Start-menu shortcut named Quendrel, wherever the system put it.
std::optional<Shortcut> FindShortcut() {
    for (int menu : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        const std::wstring path = [&] {
            const std::string narrow = KnownFolder(menu) + "\\Quendrel.lnk";
            return std::wstring(narrow.begin(), narrow.end());
        }();
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        CoInitialize(nullptr);
        IShellLinkA* link = nullptr;
        IPersistFile* file = nullptr;
        std::optional<Shortcut> found;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                       reinterpret_cast<void**>(&link))) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
            SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
            char target[MAX_PATH] = {}, folder[MAX_PATH] = {};
            link->GetPath(target, MAX_PATH, nullptr, 0);
            link->GetWorkingDirectory(folder, MAX_PATH);
            found = Shortcut{target, folder};
        }
        if (file) file->Release();
        if (link) link->Release();
        CoUninitialize();
        return found;
    }
    return std::nullopt;
}

class MsiPackage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(QUENDREL_MSI)) << QUENDREL_MSI << " is missing: bash scripts/build.sh win32";
        ASSERT_TRUE(FileExists(QUENDREL_NEXT_MSI)) << QUENDREL_NEXT_MSI << " is missing: bash scripts/build.sh win32";
        Clean();
    }
    void TearDown() override { Clean(); }

    // No Quendrel installed, no location, no data folder.
    static void Clean() {
        for (const Installed& product : InstalledProducts()) Msiexec("/x " + product.productCode);
        DeleteLocationKey();
        DeleteFileA((DataFolder() + "\\savedata.dat").c_str());
        RemoveDirectoryA(DataFolder().c_str());
    }

    const std::string regCode_ = EncodeRegCode("l=X1;h=ftp.example.net;u=loc;p=S3cret;r=/in/;");
};

TEST_F(MsiPackage, InstallsTheProgramItsShortcutDataFolderAndTheLocationAsLocationRegWould) {
    ASSERT_EQ(Install(QUENDREL_MSI, regCode_), 0);

    EXPECT_TRUE(FileExists(InstalledExe())) << InstalledExe();
    EXPECT_EQ(ReadFileBytes(InstalledExe()), ReadFileBytes(WinePath(QUENDREL_WIN32_EXE))) << "not the shipped program";
    const std::optional<Shortcut> shortcut = FindShortcut();
    ASSERT_TRUE(shortcut) << "no Start-menu shortcut named Quendrel";
    EXPECT_EQ(shortcut->target, InstalledExe());
    EXPECT_EQ(shortcut->workingFolder, DataFolder() + "\\");  // as the installer writes a folder
    EXPECT_TRUE(FolderExists(DataFolder()));

    const std::vector<Installed> products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(products[0].version, QUENDREL_VERSION);
    const std::string& code = products[0].productCode;
    EXPECT_EQ(UninstallEntry(code, "DisplayName"), QUENDREL_TITLE);
    EXPECT_EQ(UninstallEntry(code, "DisplayVersion"), QUENDREL_VERSION);
    EXPECT_EQ(UninstallEntry(code, "Publisher"), QUENDREL_VENDOR);
    EXPECT_EQ(UninstallEntry(code, "Contact"), QUENDREL_VENDOR ", " QUENDREL_VENDOR_STREET ", " QUENDREL_VENDOR_CITY);
    EXPECT_EQ(UninstallEntry(code, "HelpTelephone"), QUENDREL_VENDOR_TELEPHONE);

    // The value a 32-bit program reads first: the same as location.reg writes.
    const std::optional<RegValue> fromPackage = ReadRegCode(KEY_WOW64_32KEY);
    ASSERT_TRUE(fromPackage) << "no REGCODE in the 32-bit view";
    DeleteLocationKey();
    ImportRegistry(LocationReg("\"REGCODE\"=\"" + regCode_ + "\""), true);
    EXPECT_EQ(ReadRegCode(KEY_WOW64_32KEY), fromPackage);
    EXPECT_EQ(fromPackage->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(fromPackage->text, regCode_);
}

TEST_F(MsiPackage, AnInstallWithoutRegCodeLeavesTheLocationOfLocationRegAlone) {
    ImportRegistry(LocationReg("\"REGCODE\"=\"" + regCode_ + "\""), true);
    ASSERT_EQ(Install(QUENDREL_MSI), 0);
    EXPECT_TRUE(FileExists(InstalledExe()));
    const std::optional<RegValue> kept = ReadRegCode(KEY_WOW64_32KEY);
    ASSERT_TRUE(kept) << "the install removed REGCODE";
    EXPECT_EQ(kept->text, regCode_);

    // On a PC without a location, nothing is written at all.
    Clean();
    ASSERT_EQ(Install(QUENDREL_MSI), 0);
    EXPECT_FALSE(ReadRegCode(KEY_WOW64_32KEY));
    EXPECT_FALSE(ReadRegCode(KEY_WOW64_64KEY));
}

TEST_F(MsiPackage, UpgradeReplacesTheOlderVersionAndKeepsScansAndLocationAndADowngradeIsRefused) {
    ASSERT_EQ(Install(QUENDREL_MSI, regCode_), 0);
    const std::string pending = DataFolder() + "\\savedata.dat";
    WriteFileBytes(pending, "pending scans\r\n");

    ASSERT_EQ(Install(QUENDREL_NEXT_MSI), 0);
    EXPECT_EQ(InstalledVersions(), std::vector<std::string>{QUENDREL_NEXT_VERSION});
    EXPECT_TRUE(FileExists(InstalledExe()));
    EXPECT_TRUE(FindShortcut());
    EXPECT_EQ(ReadFileBytes(pending), "pending scans\r\n");
    const std::optional<RegValue> location = ReadRegCode(KEY_WOW64_32KEY);
    ASSERT_TRUE(location) << "the upgrade took the location away";
    EXPECT_EQ(location->text, regCode_);

    EXPECT_EQ(Install(QUENDREL_MSI), ERROR_INSTALL_FAILURE) << "the older version was not refused";
    EXPECT_EQ(InstalledVersions(), std::vector<std::string>{QUENDREL_NEXT_VERSION});
    EXPECT_TRUE(FileExists(InstalledExe()));
}

TEST_F(MsiPackage, UninstallRemovesTheProgramAndKeepsTheScansAndTheLocation) {
    ASSERT_EQ(Install(QUENDREL_MSI, regCode_), 0);
    const std::string pending = DataFolder() + "\\savedata.dat";
    WriteFileBytes(pending, "pending scans\r\n");
    const std::vector<Installed> products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);

    ASSERT_EQ(Msiexec("/x " + products[0].productCode), 0);
    EXPECT_TRUE(InstalledVersions().empty());
    EXPECT_FALSE(FileExists(InstalledExe()));
    EXPECT_FALSE(FindShortcut());
    EXPECT_EQ(ReadFileBytes(pending), "pending scans\r\n");
    const std::optional<RegValue> location = ReadRegCode(KEY_WOW64_32KEY);
    ASSERT_TRUE(location) << "the uninstall took the location away";
    EXPECT_EQ(location->text, regCode_);

    // An empty data folder stays too, so that a later install finds it as it was.
    DeleteFileA(pending.c_str());
    ASSERT_EQ(Install(QUENDREL_MSI), 0);
    ASSERT_EQ(Msiexec("/x " + InstalledProducts().at(0).productCode), 0);
    EXPECT_TRUE(FolderExists(DataFolder()));
}

// Wine does not apply folder permissions: what can be checked here is the
// rule the package carries for Windows to apply.
TEST_F(MsiPackage, CarriesTheRuleThatLetsOperatorsChangeFilesInTheDataFolder) {
    MSIHANDLE database = 0, view = 0, record = 0;
    ASSERT_EQ(MsiOpenDatabaseA(WinePath(QUENDREL_MSI).c_str(), MSIDBOPEN_READONLY, &database), 0u);
    ASSERT_EQ(MsiDatabaseOpenViewA(database,
                                   "SELECT `SDDL` FROM `MsiLockPermissionsEx` WHERE `LockObject` = 'DATAFOLDER' "
                                   "AND `Table` = 'CreateFolder'",
                                   &view),
              0u);
    ASSERT_EQ(MsiViewExecute(view, 0), 0u);
    ASSERT_EQ(MsiViewFetch(view, &record), 0u) << "no permissions for the data folder";
    char sddl[1024] = {};
    DWORD size = sizeof sddl;
    MsiRecordGetStringA(record, 1, sddl, &size);
    MsiCloseHandle(record);
    MsiCloseHandle(view);
    MsiCloseHandle(database);

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        << sddl;
    BOOL present = FALSE, defaulted = FALSE;
    ACL* dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present && dacl);
    BYTE users[SECURITY_MAX_SID_SIZE];
    DWORD usersSize = sizeof users;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &usersSize));
    const DWORD modify = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
    bool usersMayModifyEverythingInIt = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        const BYTE inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
        if (EqualSid(&ace->SidStart, users) && (ace->Mask & modify) == modify &&
            (ace->Header.AceFlags & inherited) == inherited) {
            usersMayModifyEverythingInIt = true;
        }
    }
    LocalFree(descriptor);
    EXPECT_TRUE(usersMayModifyEverythingInIt) << sddl;
}

}  // namespace
}  // namespace quendrel::testing
