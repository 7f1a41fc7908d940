#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/IniFile.h"

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string Pattern = (fs::temp_directory_path() / "quillory-ini-XXXXXX").string();
    ASSERT_NE(mkdtemp(Pattern.data()), nullptr);
    Dir = Pattern + "/";
    File = Dir + "Config.ini";
  }
  void TearDown() override { fs::remove_all(Dir); }

  static void Put(const std::string& Path, const std::string& Content) {
    std::ofstream Out(Path, std::ios::binary);
    Out << Content;
  }
  static std::string Get(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
  }
  size_t EntriesInDir() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(Dir), {}));
  }

  std::string Dir, File;
};

struct TReadCase {
  const char* Name;
  std::string Content;
  const char* Section;
  const char* Key;
  std::string Expected;  // "<default>" when the default must come back
};

TEST_F(IniFileTest, ReadsStringsByTheProfileRules) {
  const std::string Default = "<default>";
  const TReadCase Cases[] = {
      {"plain", "[Config]\nPrefix=Pic\n", "Config", "Prefix", "Pic"},
      {"names without case", "[cONFIG]\nprefix=Pic\n", "Config", "PREFIX", "Pic"},
      {"blanks trimmed", "[Config]\n  Prefix \t=  Pic  \t\n", "Config", "Prefix", "Pic"},
      {"inner blanks kept", "[Config]\nPrefix=a  b\n", "Config", "Prefix", "a  b"},
      {"double quotes", "[Config]\nPrefix=\" Pic \"\n", "Config", "Prefix", " Pic "},
      {"single quotes", "[Config]\nPrefix='Pic'\n", "Config", "Prefix", "Pic"},
      {"one pair only", "[Config]\nPrefix=\"\"Pic\"\"\n", "Config", "Prefix", "\"Pic\""},
      {"mismatched quotes kept", "[Config]\nPrefix=\"Pic'\n", "Config", "Prefix", "\"Pic'"},
      {"lone quote kept", "[Config]\nPrefix=\"\n", "Config", "Prefix", "\""},
      {"empty value is not the default", "[Config]\nPrefix=\n", "Config", "Prefix", ""},
      {"empty quotes", "[Config]\nPrefix=\"\"\n", "Config", "Prefix", ""},
      {"first equals sign splits", "[Config]\nPrefix=a=b\n", "Config", "Prefix", "a=b"},
      {"missing key", "[Config]\nOther=1\n", "Config", "Prefix", Default},
      {"missing section", "[Size]\nPrefix=1\n", "Config", "Prefix", Default},
      {"key of another section", "[Config]\nA=1\n[Size]\nPrefix=2\n", "Config", "Prefix", Default},
      {"key before any section", "Prefix=1\n[Config]\n", "Config", "Prefix", Default},
      {"first section wins", "[Config]\nA=1\n[Config]\nPrefix=2\n", "Config", "Prefix", Default},
      {"first key wins", "[Config]\nPrefix=1\nprefix=2\n", "Config", "Prefix", "1"},
      {"CRLF lines", "[Config]\r\nPrefix=Pic\r\nB=2\r\n", "Config", "Prefix", "Pic"},
      {"no final line ending", "[Config]\nPrefix=Pic", "Config", "Prefix", "Pic"},
      {"blanks in brackets", "[ Config ]\nPrefix=Pic\n", "Config", "Prefix", "Pic"},
      {"comment is no key", "[Config]\n;Prefix=x\n", "Config", ";Prefix", Default},
      {"UTF-8 mark at start", "\xEF\xBB\xBF[Config]\nPrefix=Pic\n", "Config", "Prefix", "Pic"},
      {"UTF-8 passes through", "[mesReady]\nFRA=Pr\xC3\xAAt\n", "mesReady", "FRA", "Pr\xC3\xAAt"},
      {"line without equals sign", "[Config]\nPrefix\n", "Config", "Prefix", Default},
      {"empty file", "", "Config", "Prefix", Default},
  };
  for (const TReadCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Put(File, Case.Content);
    EXPECT_EQ(IniReadString(File, Case.Section, Case.Key, Default), Case.Expected);
  }
}

TEST_F(IniFileTest, MissingFileOrFolderGivesTheDefault) {
  EXPECT_EQ(IniReadString(File, "Config", "Prefix", "Image"), "Image");
  EXPECT_EQ(IniReadInteger(File, "Config", "PicSize", 150), 150);
  EXPECT_EQ(IniReadString(Dir, "Config", "Prefix", "Image"), "Image");  // a folder
  EXPECT_EQ(IniReadString(Dir + "none/x.ini", "Config", "Prefix", "Image"), "Image");
}

TEST_F(IniFileTest, LongValueIsCutTo2047Characters) {
  const std::string Long(3000, 'x');
  Put(File, "[Config]\nImageDir=" + Long + "\nNext=1\n");
  EXPECT_EQ(IniReadString(File, "Config", "ImageDir", ""), Long.substr(0, 2047));
  EXPECT_EQ(IniReadInteger(File, "Config", "Next", 0), 1);
  Put(File, "[Config]\nImageDir=\"" + Long + "\"\n");  // quotes go first, then the cut
  EXPECT_EQ(IniReadString(File, "Config", "ImageDir", ""), Long.substr(0, 2047));
}

TEST_F(IniFileTest, ReadsIntegers) {
  constexpr int32_t D = 77;
  const std::pair<std::string, int32_t> Cases[] = {
      {"30", 30},
      {"0x1E", 30},
      {"0X1e", 30},
      {"$1E", 30},
      {"$1e", 30},
      {"-5", -5},
      {"+7", 7},
      {"007", 7},
      {" 42 ", 42},
      {"'42'", 42},
      {"13421772", 13421772},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"0xFFFFFFFF", -1},
      {"0x", D},
      {"$", D},
      {"-", D},
      {"+", D},
      {"abc", D},
      {"12px", D},
      {"1 2", D},
      {"1.5", D},
      {"0x1G", D},
      {"-0x10", D},
      {"$-1", D},
      {"2147483648", D},
      {"-2147483649", D},
      {"99999999999999999999", D},
      {"0x100000000", D},
      {"", D},
  };
  for (const auto& [Text, Expected] : Cases) {
    SCOPED_TRACE("value \"" + Text + "\"");
    Put(File, "[Config]\nBGSquareSize=" + Text + "\n");
    EXPECT_EQ(IniReadInteger(File, "Config", "BGSquareSize", D), Expected);
  }
  Put(File, "[Config]\n");
  EXPECT_EQ(IniReadInteger(File, "Config", "BGSquareSize", D), D);
}

struct TWriteCase {
  const char* Name;
  std::optional<std::string> Before;  // nullopt: no file
  const char* Section;
  const char* Key;
  std::string Value;
  std::string After;
};

TEST_F(IniFileTest, WritesInPlaceAndKeepsEveryOtherByte) {
  const TWriteCase Cases[] = {
      {"missing file is created", std::nullopt, "Config", "ImageDir", "/x/",
       "[Config]\nImageDir=/x/\n"},
      {"empty file", "", "Config", "ImageDir", "/x/", "[Config]\nImageDir=/x/\n"},
      {"replace where it stands", "; kept\n[Config]\nA=1\nImageDir=old\nB=2\n\n[Size]\nTop=5\n",
       "Config", "ImageDir", "new", "; kept\n[Config]\nA=1\nImageDir=new\nB=2\n\n[Size]\nTop=5\n"},
      {"replace keeps spelling and spacing", "[config]\n  imagedir =  old  \n", "Config",
       "ImageDir", "new", "[config]\n  imagedir =  new\n"},
      {"replace an empty value", "[Config]\nImageDir=\nX=1\n", "Config", "ImageDir", "/a/",
       "[Config]\nImageDir=/a/\nX=1\n"},
      {"new key after the last key line", "[Config]\nA=1\n; note\n\n[Size]\nTop=1\n", "Config",
       "Language", "ENG", "[Config]\nA=1\nLanguage=ENG\n; note\n\n[Size]\nTop=1\n"},
      {"new key in a section without keys", "[Config]\n\n[Size]\nTop=1\n", "Config", "Language",
       "ENG", "[Config]\nLanguage=ENG\n\n[Size]\nTop=1\n"},
      {"new key in the last section", "[Config]\nA=1\n[Size]\nTop=1\n", "Size", "Left", "3",
       "[Config]\nA=1\n[Size]\nTop=1\nLeft=3\n"},
      {"new section at the end", "[Config]\nA=1\n\n", "Size", "Top", "3",
       "[Config]\nA=1\n\n[Size]\nTop=3\n"},
      {"last line without line ending, new key", "[Config]\nA=1", "Config", "B", "2",
       "[Config]\nA=1\nB=2\n"},
      {"last line without line ending, new section", "[Config]\nA=1", "Size", "Top", "3",
       "[Config]\nA=1\n[Size]\nTop=3\n"},
      {"last line without line ending, replace", "[Config]\nA=1", "Config", "A", "2",
       "[Config]\nA=2"},
      {"CRLF kept on replace", "[Config]\r\nA=1\r\nB=2\r\n", "Config", "A", "9",
       "[Config]\r\nA=9\r\nB=2\r\n"},
      {"CRLF used for a new key", "[Config]\r\nA=1\r\n\r\n", "Config", "B", "2",
       "[Config]\r\nA=1\r\nB=2\r\n\r\n"},
      {"CRLF used for a new section", "[Config]\r\nA=1\r\n", "Size", "Top", "3",
       "[Config]\r\nA=1\r\n[Size]\r\nTop=3\r\n"},
      {"mixed endings left alone", "[Config]\r\nA=1\nB=2\r\n", "Config", "C", "3",
       "[Config]\r\nA=1\nB=2\r\nC=3\r\n"},
      {"UTF-8 mark kept", "\xEF\xBB\xBF[Config]\nA=1\n", "Config", "A", "2",
       "\xEF\xBB\xBF[Config]\nA=2\n"},
      {"only the first section", "[Config]\nA=1\n[Size]\n[Config]\nB=1\n", "Config", "B", "2",
       "[Config]\nA=1\nB=2\n[Size]\n[Config]\nB=1\n"},
      {"line breaks in a value become spaces", "[Config]\n", "Config", "Prefix", "a\nb\r\n[Size]",
       "[Config]\nPrefix=a b  [Size]\n"},
      {"blank at the ends is quoted", "[Config]\n", "Config", "Prefix", " a ",
       "[Config]\nPrefix=\" a \"\n"},
      {"quoted value is quoted again", "[Config]\n", "Config", "Prefix", "'a'",
       "[Config]\nPrefix=\"'a'\"\n"},
  };
  for (const TWriteCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    fs::remove(File);
    if (Case.Before) Put(File, *Case.Before);
    IniWriteString(File, Case.Section, Case.Key, Case.Value);
    EXPECT_EQ(Get(File), Case.After);
    EXPECT_EQ(EntriesInDir(), 1u) << "no temporary file left behind";
  }
}

TEST_F(IniFileTest, WrittenValuesReadBackAsWritten) {
  const std::string Values[] = {"",   "plain", " lead", "trail\t", "\"quoted\"",  "'single'",
                                "\"", "a=b",   "[x]",   ";semi",   "Pr\xC3\xAAt", "$1E"};
  for (const std::string& Value : Values) {
    SCOPED_TRACE("value \"" + Value + "\"");
    IniWriteString(File, "Config", "Prefix", Value);
    EXPECT_EQ(IniReadString(File, "Config", "Prefix", "<default>"), Value);
  }
  IniWriteInteger(File, "Config", "BGColor", -5);
  EXPECT_EQ(IniReadString(File, "Config", "BGColor", ""), "-5");
  IniWriteInteger(File, "Config", "BGColor", 13421772);
  EXPECT_EQ(IniReadString(File, "Config", "BGColor", ""), "13421772");
  EXPECT_EQ(IniReadInteger(File, "Config", "BGColor", 0), 13421772);
}

TEST_F(IniFileTest, RefusedWriteThrowsAndLeavesFilesAlone) {
  Put(Dir + "plain", "not a folder");
  const std::string Under = Dir + "plain/Config.ini";
  try {
    IniWriteString(Under, "Config", "ImageDir", "/x/");
    FAIL() << "no error";
  } catch (const EIniWriteError& Error) {
    EXPECT_STREQ(Error.what(), ("Unable to write to " + Under).c_str());
    EXPECT_EQ(Error.FileName(), Under);
  }
  EXPECT_THROW(IniWriteInteger(Under, "Size", "Top", 1), EIniWriteError);
  EXPECT_EQ(Get(Dir + "plain"), "not a folder");

  // A folder standing where the file should be is refused and left as it is.
  fs::create_directory(File);
  Put(File + "/inside", "x");
  EXPECT_THROW(IniWriteString(File, "Config", "A", "1"), EIniWriteError);
  EXPECT_EQ(Get(File + "/inside"), "x");
  EXPECT_EQ(EntriesInDir(), 2u);
}

TEST_F(IniFileTest, ReplacingKeepsModeAndFollowsLinks) {
  Put(File, "[Config]\nA=1\n");
  ASSERT_EQ(chmod(File.c_str(), 0640), 0);
  IniWriteString(File, "Config", "A", "2");
  struct stat Info {};
  ASSERT_EQ(stat(File.c_str(), &Info), 0);
  EXPECT_EQ(Info.st_mode & 07777, 0640u);

  const std::string Link = Dir + "Link.ini";
  fs::create_symlink("Config.ini", Link);
  IniWriteString(Link, "Config", "A", "3");
  EXPECT_TRUE(fs::is_symlink(Link));
  EXPECT_EQ(Get(File), "[Config]\nA=3\n");
}

TEST_F(IniFileTest, EveryAccessSeesTheFileAsItIsNow) {
  Put(File, "[Config]\nPrefix=One\n");
  EXPECT_EQ(IniReadString(File, "Config", "Prefix", ""), "One");
  Put(File, "[Config]\nPrefix=Two\n");
  EXPECT_EQ(IniReadString(File, "Config", "Prefix", ""), "Two");
  IniWriteString(File, "Config", "Prefix", "Three");
  EXPECT_EQ(IniReadString(File, "Config", "Prefix", ""), "Three");
}

TEST_F(IniFileTest, LoadedTextAnswersManyLookups) {
  Put(File, "[labelType]\nENG=Type\nFRA=Genre\n[mesReady]\nENG=Ready\n");
  const TIniText Text = TIniText::Load(File);
  EXPECT_EQ(Text.ReadString("labelType", "FRA", ""), "Genre");
  EXPECT_EQ(Text.ReadString("mesReady", "ENG", ""), "Ready");
  EXPECT_EQ(Text.ReadString("mesReady", "FRA", "-"), "-");
  EXPECT_EQ(TIniText::Load(Dir + "none.ini").ReadString("mesReady", "ENG", "-"), "-");
}

TEST_F(IniFileTest, FindsFilesWithoutRegardToCase) {
  EXPECT_EQ(FindFileNoCase(Dir, "Lang.ini"), Dir + "Lang.ini");  // none yet
  Put(Dir + "LANG.INI", "");
  EXPECT_EQ(FindFileNoCase(Dir, "Lang.ini"), Dir + "LANG.INI");
  Put(Dir + "lang.ini", "");
  EXPECT_EQ(FindFileNoCase(Dir, "Lang.ini"), Dir + "LANG.INI");  // smallest spelling
  Put(Dir + "Lang.ini", "");
  EXPECT_EQ(FindFileNoCase(Dir, "Lang.ini"), Dir + "Lang.ini");  // exact spelling first
  EXPECT_EQ(FindFileNoCase(Dir, "Lang.in"), Dir + "Lang.in");
  EXPECT_EQ(FindFileNoCase(Dir + "none/", "Lang.ini"), Dir + "none/Lang.ini");
}

}  // namespace
