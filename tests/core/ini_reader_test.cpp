#include <string>

#include <gtest/gtest.h>

#include "ini_reader.h"

using namespace Vantrix;

TEST(IniReader, SectionsAndKeysIgnoreCaseFirstMatchWins) {
    TIniFile ini;
    ini.Parse(
        "\xEF\xBB\xBF[Alpha]\r\nKey = one \r\nkey=two\r\n[alpha]\nother=x\n[Beta]\nKEY=three\n");
    std::string value;
    ASSERT_TRUE(ini.GetValue("ALPHA", "key", value));
    EXPECT_EQ(value, "one");
    EXPECT_FALSE(ini.GetValue("alpha", "other", value)); // only the first [alpha] is searched
    ASSERT_TRUE(ini.GetValue("beta", "Key", value));
    EXPECT_EQ(value, "three");
    EXPECT_FALSE(ini.GetValue("gamma", "key", value));
}

TEST(IniReader, CommentsStrayLinesQuotesAndLongValues) {
    TIniFile ini;
    ini.Parse(
        "orphan=1\n[S]\n; a=commented\n  ;b=also\nno equals here\n[broken\nc=\"quoted value\"\n"
        "d=\n=nokey\nlong=" +
        std::string(1023, '7') + "89\n");
    std::string value;
    EXPECT_FALSE(ini.GetValue("S", "a", value));
    EXPECT_FALSE(ini.GetValue("S", "b", value));
    EXPECT_FALSE(ini.GetValue("S", "orphan", value));
    ASSERT_TRUE(ini.GetValue("S", "c", value));
    EXPECT_EQ(value, "quoted value");
    ASSERT_TRUE(ini.GetValue("S", "d", value));
    EXPECT_EQ(value, "");
    ASSERT_TRUE(ini.GetValue("S", "long", value));
    EXPECT_EQ(value, std::string(1023, '7')) << "values are cut after 1023 characters";
}
