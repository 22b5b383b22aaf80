#include "Depend/qn_registry.h"

#include "platform/paths.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RegistryValues, AFreshProfileGetsTheKeyAndValuesComeBackTerminated)
{
    testing_support::TempFolder dir;
    testing_support::ScopedEnv appdata("APPDATA", dir.Path().c_str());
    wchar_t out[200];
    EXPECT_EQ(QNGetRegString(L"Client_Ostrel", L"USER", out, 200), 0);
    ASSERT_EQ(QNSetRegString(L"Client_Ostrel", L"USER", L"sam"), 1);
    EXPECT_TRUE(platform::PathExists(dir.Path() + "/OstrelS/registry.ini"));
    ASSERT_EQ(QNGetRegString(L"Client_Ostrel", L"USER", out, 200), 1);
    EXPECT_EQ(std::wstring(out), L"sam");

    // A value of the full 128 characters still comes back with its end.
    std::wstring full(128, L'k');
    ASSERT_EQ(QNSetRegString(L"Client_Ostrel", L"KEY", full.c_str()), 1);
    std::fill(std::begin(out), std::end(out), L'#');
    ASSERT_EQ(QNGetRegString(L"Client_Ostrel", L"KEY", out, 200), 1);
    EXPECT_EQ(std::wstring(out), full);
    wchar_t small[16];
    ASSERT_EQ(QNGetRegString(L"Client_Ostrel", L"KEY", small, 16), 1);
    EXPECT_EQ(std::wstring(small), std::wstring(15, L'k'));

    std::wstring tooLong(129, L'x');
    ASSERT_EQ(QNSetRegString(L"Client_Ostrel", L"KEY", tooLong.c_str()), 1);
    EXPECT_EQ(QNGetRegString(L"Client_Ostrel", L"KEY", out, 200), 0);
    EXPECT_EQ(QNGetRegString(L"Other", L"USER", out, 200), 0);
}

} // namespace
