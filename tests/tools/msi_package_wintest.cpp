// The installer package under Wine's msiexec, as a location's IT person uses
// it: a silent install with and without REGCODE, an upgrade, a refused
// downgrade and an uninstall; what lands where, and what must stay.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "config/regcode.h"
#include "config/location_settings.h"
#include "config/settings_rules.h"
#include "support/win_support_win.h"

namespace quendrel::testing {
namespace {

std::string InstalledExe() { return KnownFolder(CSIDL_PROGRAM_FILESX86) + "\\Quendrel\\Quendrel.exe"; }
std::string DataFolder() { return KnownFolder(CSIDL_COMMON_APPDATA) + "\\Quendrel"; }
std::string PendingScans() { return DataFolder() + "\\savedata.dat"; }

int Msiexec(const std::string& arguments) { return RunAndWait("msiexec.exe " + arguments + " /qn", 120000); }
int Install(const char* package, const std::string& regCode = "") {
    return Msiexec("/i \"" + WinePath(package) + "\"" + (regCode.empty() ? "" : " REGCODE=" + regCode));
}

// The installed products of the package's upgrade code: code and version.
std::vector<std::pair<std::string, std::string>> InstalledProducts() {
    std::vector<std::pair<std::string, std::string>> products;
    char code[39] = {};
    for (DWORD i = 0; MsiEnumRelatedProductsA("{" QUENDREL_UPGRADE_CODE "}", 0, i, code) == ERROR_SUCCESS; ++i) {
        char version[64] = {};
        DWORD size = sizeof version;
        MsiGetProductInfoA(code, INSTALLPROPERTY_VERSIONSTRING, version, &size);
        products.emplace_back(code, version);
    }
    return products;
}

// A value under HKEY_LOCAL_MACHINE in one view, as "type:text", or "" when missing.
std::string ReadValue(const std::string& subkey, const char* name, REGSAM view) {
    char data[4096] = {};
    DWORD type = 0, size = sizeof data - 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return "";
    const LSTATUS read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS ? std::to_string(type) + ":" + data : "";
}
std::string RegCode(REGSAM view) { return ReadValue(kLocationSubkey, kLocationValueName, view); }

// What the Add/Remove Programs entry of a product says under `name`.
std::string UninstallEntry(const std::string& productCode, const char* name) {
    const std::string subkey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
    const std::string value = ReadValue(subkey, name, KEY_WOW64_64KEY) + ReadValue(subkey, name, KEY_WOW64_32KEY);
    return value.substr(value.find(':') + 1);
}

// The Start-menu shortcut named Quendrel, wherever the system put it.
std::optional<ShortcutTarget> FindShortcut() {
    for (int menu : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        const std::string path = KnownFolder(menu) + "\\Quendrel.lnk";
        if (FileExists(path)) return ReadShortcut(path);
    }
    return std::nullopt;
}

class MsiPackage : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* package : {QUENDREL_MSI, QUENDREL_NEXT_MSI}) {
            ASSERT_TRUE(FileExists(WinePath(package))) << package << " is missing: bash scripts/build.sh win32";
        }
        Clean();
    }
    void TearDown() override { Clean(); }

    // No Quendrel installed, no location, no data folder.
    static void Clean() {
        for (const auto& product : InstalledProducts()) Msiexec("/x " + product.first);
        DeleteLocationKey();
        DeleteFileA(PendingScans().c_str());
        RemoveDirectoryA(DataFolder().c_str());
    }

    const std::string regCode_ = EncodeRegCode("l=X1;h=ftp.example.net;u=loc;p=S3cret;r=/in/;");
};

TEST_F(MsiPackage, InstallsTheProgramItsShortcutDataFolderAndTheLocationAsLocationRegWould) {
    ASSERT_EQ(Install(QUENDREL_MSI, regCode_), 0);

    EXPECT_EQ(ReadFileBytes(InstalledExe()), ReadFileBytes(WinePath(QUENDREL_WIN32_EXE))) << "not the shipped program";
    const auto shortcut = FindShortcut();
    ASSERT_TRUE(shortcut) << "no Start-menu shortcut named Quendrel";
    EXPECT_EQ(shortcut->program, InstalledExe());
    EXPECT_EQ(shortcut->workingFolder, DataFolder() + "\\");  // as the installer writes a folder
    EXPECT_NE(GetFileAttributesA(DataFolder().c_str()), INVALID_FILE_ATTRIBUTES);

    const auto products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(products[0].second, QUENDREL_VERSION);
    EXPECT_EQ(UninstallEntry(products[0].first, "DisplayVersion"), QUENDREL_VERSION);
    EXPECT_EQ(UninstallEntry(products[0].first, "Publisher"), QUENDREL_VENDOR);
    EXPECT_EQ(UninstallEntry(products[0].first, "Contact"),
              QUENDREL_VENDOR ", " QUENDREL_VENDOR_STREET ", " QUENDREL_VENDOR_CITY);
    EXPECT_EQ(UninstallEntry(products[0].first, "HelpTelephone"), QUENDREL_VENDOR_TELEPHONE);

    // In the view a 32-bit program reads first, of the type and text location.reg gives.
    const std::string fromPackage = RegCode(KEY_WOW64_32KEY);
    EXPECT_EQ(fromPackage, std::to_string(REG_SZ) + ":" + regCode_);
    DeleteLocationKey();
    ImportRegistry(LocationReg("\"REGCODE\"=\"" + regCode_ + "\""), true);
    EXPECT_EQ(RegCode(KEY_WOW64_32KEY), fromPackage);
}

TEST_F(MsiPackage, AnInstallWithoutRegCodeKeepsThePcsLocationAndOneWithItReplacesIt) {
    ASSERT_EQ(Install(QUENDREL_MSI), 0);
    EXPECT_EQ(RegCode(KEY_WOW64_32KEY) + RegCode(KEY_WOW64_64KEY), "") << "a location out of nothing";

    const std::string other = EncodeRegCode("l=X2;h=ftp.example.net;u=loc;p=S3cret;r=/in/;");
    for (const std::string& given : {std::string(), other}) {
        Clean();
        ImportRegistry(LocationReg("\"REGCODE\"=\"" + regCode_ + "\""), true);
        ASSERT_EQ(Install(QUENDREL_MSI, given), 0);
        EXPECT_TRUE(FileExists(InstalledExe()));
        EXPECT_EQ(RegCode(KEY_WOW64_32KEY), std::to_string(REG_SZ) + ":" + (given.empty() ? regCode_ : given));
    }
}

TEST_F(MsiPackage, UpgradeReplacesDowngradeIsRefusedUninstallRemovesAndScansAndLocationStay) {
    const std::string location = std::to_string(REG_SZ) + ":" + regCode_;
    ASSERT_EQ(Install(QUENDREL_MSI, regCode_), 0);
    WriteFileBytes(PendingScans(), "pending scans\r\n");

    ASSERT_EQ(Install(QUENDREL_NEXT_MSI), 0);
    auto products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u) << "the older version is still installed";
    EXPECT_EQ(products[0].second, QUENDREL_NEXT_VERSION);
    EXPECT_TRUE(FileExists(InstalledExe()));
    EXPECT_TRUE(FindShortcut());
    EXPECT_EQ(ReadFileBytes(PendingScans()), "pending scans\r\n");
    EXPECT_EQ(RegCode(KEY_WOW64_32KEY), location);

    EXPECT_EQ(Install(QUENDREL_MSI), ERROR_INSTALL_FAILURE) << "the older version was not refused";
    products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(products[0].second, QUENDREL_NEXT_VERSION);
    EXPECT_TRUE(FileExists(InstalledExe()));

    ASSERT_EQ(Msiexec("/x " + products[0].first), 0);
    EXPECT_TRUE(InstalledProducts().empty());
    EXPECT_FALSE(FileExists(InstalledExe()));
    EXPECT_FALSE(FindShortcut());
    EXPECT_EQ(ReadFileBytes(PendingScans()), "pending scans\r\n");
    EXPECT_EQ(RegCode(KEY_WOW64_32KEY), location);
}

// Wine applies no folder permissions: what can be checked here is the rule
// the package carries for Windows to apply.
TEST_F(MsiPackage, CarriesTheRuleThatLetsOperatorsChangeFilesInTheDataFolder) {
    MSIHANDLE database = 0, view = 0, record = 0;
    char sddl[1024] = {};
    DWORD size = sizeof sddl;
    ASSERT_EQ(MsiOpenDatabaseA(WinePath(QUENDREL_MSI).c_str(), MSIDBOPEN_READONLY, &database), 0u);
    ASSERT_EQ(MsiDatabaseOpenViewA(database, "SELECT `SDDL` FROM `MsiLockPermissionsEx` WHERE `LockObject` = "
                                             "'DATAFOLDER' AND `Table` = 'CreateFolder'", &view), 0u);
    EXPECT_EQ(MsiViewExecute(view, 0), 0u);
    EXPECT_EQ(MsiViewFetch(view, &record), 0u) << "no permissions for the data folder";
    MsiRecordGetStringA(record, 1, sddl, &size);
    for (MSIHANDLE handle : {record, view, database}) MsiCloseHandle(handle);

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    ACL* dacl = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr) &&
                GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && dacl) << sddl;
    BYTE users[SECURITY_MAX_SID_SIZE];
    DWORD usersSize = sizeof users;
    CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &usersSize);
    const DWORD modify = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
    const BYTE inheritedByAll = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    bool usersMayModify = false;
    ACCESS_ALLOWED_ACE* ace = nullptr;
    for (DWORD i = 0; i < dacl->AceCount && GetAce(dacl, i, reinterpret_cast<void**>(&ace)); ++i) {
        usersMayModify |= ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && EqualSid(&ace->SidStart, users) &&
                          (ace->Mask & modify) == modify && (ace->Header.AceFlags & inheritedByAll) == inheritedByAll;
    }
    LocalFree(descriptor);
    EXPECT_TRUE(usersMayModify) << sddl;
}

}  // namespace
}  // namespace quendrel::testing
