// The INI document of the POSIX settings file: lookup rules and edits that keep other lines.
#include "settings/ini_document.h"

#include <gtest/gtest.h>

namespace tvde {
namespace {

TEST(IniDocument, LooksUpSectionsAndKeysWithoutCaseAndTrimsValues) {
  const auto ini = IniDocument::Parse(
      "\xEF\xBB\xBF; written by hand\r\n"
      "[General]\r\n"
      "  operatorname =  山田 太郎  \r\n"
      "OrganizationName=\"  quoted  \"\r\n"
      "CertOutputDir='/srv/logs'\n"
      "Broken line without equals\n"
      "[ sanitization ]\n"
      "DefaultStandard=3\n"
      "Empty=\n");
  EXPECT_EQ(ini.Get("GENERAL", "OperatorName").value(), "山田 太郎");
  EXPECT_EQ(ini.Get("General", "OrganizationName").value(), "  quoted  ");
  EXPECT_EQ(ini.Get("general", "certoutputdir").value(), "/srv/logs");
  EXPECT_EQ(ini.Get("Sanitization", "DefaultStandard").value(), "3");
  EXPECT_EQ(ini.Get("Sanitization", "Empty").value(), "");
  EXPECT_FALSE(ini.Get("Sanitization", "OperatorName").has_value());  // other section
  EXPECT_FALSE(ini.Get("Safety", "DefaultExecMode").has_value());
  EXPECT_FALSE(ini.Get("General", "Broken line without equals").has_value());
}

TEST(IniDocument, TheFirstSectionAndTheFirstKeyOfANameWin) {
  const auto ini = IniDocument::Parse(
      "[Safety]\nDefaultExecMode=0\nDefaultExecMode=1\n[Safety]\nDefaultExecMode=1\n");
  EXPECT_EQ(ini.Get("Safety", "DefaultExecMode").value(), "0");
}

TEST(IniDocument, SetReplacesInPlaceAppendsToItsSectionAndKeepsEverythingElse) {
  auto ini = IniDocument::Parse(
      "; comment kept\n"
      "[General]\n"
      "OperatorName=old\n"
      "Custom=keep me\n"
      "\n"
      "[Other]\n"
      "X=1\n");
  ini.Set("general", "OperatorName", "新しい名前");
  ini.Set("General", "OrganizationName", "Org");
  ini.Set("Safety", "DefaultExecMode", "1");
  EXPECT_EQ(ini.Serialize(),
            "; comment kept\n"
            "[General]\n"
            "OperatorName=新しい名前\n"
            "Custom=keep me\n"
            "OrganizationName=Org\n"
            "\n"
            "[Other]\n"
            "X=1\n"
            "\n"
            "[Safety]\n"
            "DefaultExecMode=1\n");
  // The edited document reads back what was set.
  const auto again = IniDocument::Parse(ini.Serialize());
  EXPECT_EQ(again.Get("General", "OperatorName").value(), "新しい名前");
  EXPECT_EQ(again.Get("Safety", "DefaultExecMode").value(), "1");
  EXPECT_EQ(again.Get("General", "Custom").value(), "keep me");
}

TEST(IniDocument, AnEmptyDocumentGrowsSectionsInTheOrderTheyAreSet) {
  auto ini = IniDocument::Parse("");
  ini.Set("General", "OperatorName", "A");
  ini.Set("Sanitization", "DefaultStandard", "0");
  ini.Set("General", "OrganizationName", "B");
  EXPECT_EQ(ini.Serialize(),
            "[General]\nOperatorName=A\nOrganizationName=B\n\n[Sanitization]\nDefaultStandard=0\n");
}

}  // namespace
}  // namespace tvde
