// Folder helpers that work without start-up (start-up itself runs in its own
// processes: process_test.cpp).
#include "Depend/qn_folders.h"

#include "platform/paths.h"
#include "platform/text.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

std::wstring Wide(const std::string& s) { return platform::Utf8ToWide(s); }

TEST(Folders, BeforeStartUpTheConditionalGettersRefuse)
{
    wchar_t wide[256] = L"x";
    char narrow[256] = "x";
    EXPECT_EQ(QNGetAppDataPathEx(wide, 256), 0);
    EXPECT_EQ(QNGetTempPathA(narrow, 256), 0);
    EXPECT_EQ(QNGetAppDataPath(wide, 256), 1); // copies the empty path
    EXPECT_EQ(std::wstring(wide), L"");
    EXPECT_EQ(QNGetAppDataPath(nullptr, 256), 0);
    EXPECT_EQ(QNGetAppDataPath(wide, 0), 0);
}

TEST(Folders, ModuleDirNeedsRoomForItsTerminator)
{
    std::string dir = platform::ParentFolder(platform::ExecutablePath());
    std::vector<wchar_t> buffer(dir.size() + 1, L'#');
    EXPECT_EQ(QNGetModuleDir(buffer.data(), static_cast<int>(dir.size())), 0);
    EXPECT_EQ(buffer[0], L'#');
    EXPECT_EQ(QNGetModuleDir(buffer.data(), static_cast<int>(dir.size() + 1)), 1);
    EXPECT_EQ(std::wstring(buffer.data()), Wide(dir));
}

TEST(Folders, MakeDirIsOneLevelAndShortPathsAreRefused)
{
    testing_support::TempFolder dir;
    EXPECT_EQ(QNMakeDir(L"ab"), 0);
    EXPECT_EQ(QNMakeDir(Wide(dir.Path()).c_str()), 1); // exists
    EXPECT_EQ(QNMakeDir(Wide(dir.Path() + "\\Capture").c_str()), 1);
    EXPECT_TRUE(platform::IsDirectory(dir.Path() + "/Capture"));
    EXPECT_EQ(QNMakeDir(Wide(dir.Path() + "/a/b").c_str()), 0);
}

TEST(Folders, FileExistsWithPatterns)
{
    testing_support::TempFolder dir;
    std::ofstream(dir.Path() + "/wall") << "layout";
    EXPECT_EQ(QNFileExists(Wide(dir.Path() + "/wall").c_str()), 1);
    EXPECT_EQ(QNFileExists(Wide(dir.Path() + "\\w*").c_str()), 1);
    EXPECT_EQ(QNFileExists(Wide(dir.Path() + "/top").c_str()), 0);
    EXPECT_EQ(QNFileExists(L""), 0);
}

TEST(Folders, ExpandEnvHonoursItsLimits)
{
    testing_support::ScopedEnv appdata("APPDATA", "/data/roaming");
    wchar_t out[64] = L"untouched";
    EXPECT_EQ(QNExpandEnv(L"%APPDATA%\\OstrelS", out, 64), 1);
    EXPECT_EQ(std::wstring(out), L"/data/roaming\\OstrelS");

    wcscpy(out, L"untouched");
    EXPECT_EQ(QNExpandEnv(L"%APPDATA%\\OstrelS", out, 21), 0); // 21 characters need 22
    EXPECT_EQ(std::wstring(out), L"untouched");

    std::string longValue(195, 'p');
    testing_support::ScopedEnv big("OSTRELS_TEST_BIG", longValue.c_str());
    std::vector<wchar_t> room(400);
    EXPECT_EQ(QNExpandEnv(L"%OSTRELS_TEST_BIG%12345", room.data(), 400), 1);  // 200 fits
    EXPECT_EQ(QNExpandEnv(L"%OSTRELS_TEST_BIG%123456", room.data(), 400), 0); // 201 does not
}

} // namespace
