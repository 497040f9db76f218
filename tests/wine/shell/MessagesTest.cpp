// The string table as the installer loads it, and its message boxes, read
// back from the screen in the session's language.
#include <gtest/gtest.h>

#include <cstring>

#include "Globals.h"
#include "Messages.h"
#include "UserThread.h"

namespace {

struct Text {
  int id;
  const char* japanese;
  const char* english;
};

// What each even id yields per language (UTF-8).
const Text kTexts[] = {
    {1024, "Zoravuvi", "Zoravuvi"},
    {1026, "quova.ini", "quova.ini"},
    {1028, "CAUTION!", "CAUTION!"},
    {1030, "C:\\Program files\\Quova\\", "C:\\Program files\\Quova\\"},
    {1034, "Quova", "Quova"},
    {1036, "インストール完了です。\nQuovaを起動します。", "Installation finished.\nLaunch Quova..."},
    {2048, " ", " "},
    {2080, "コモンダイアログでエラー#%ld が発生しました", "Error (#%ld) in Common dialog"},
};

// Result code c's message, index c - 1.
const Text kResults[] = {
    {1, "キャンセルされました", "Cancel"},
    {2, "書庫が見つかりません", "Not Archive"},
    {3, "未知の形式", "Unknown type"},
    {4, "ファイルが壊れています", "Broken file"},
    {5, "メモリーが足りません", "Memory empty"},
    {6, "メモリーエラー", "Memory error"},
    {7, "読込みエラー", "Read error"},
    {8, "書込みエラー\nインストール先を確認してください。", "Write error\nCheck 'destination folder'."},
    {9, "内部エラー", "Internal err"},
};

const char* Expected(const Text& text) { return IsJapanese ? text.japanese : text.english; }

std::string Load(int id, int capacity, int* count) {
  char buffer[512];
  memset(buffer, '#', sizeof buffer);
  *count = LoadLocalizedString(id, buffer, capacity);
  return Utf8FromAnsi(buffer);
}

TEST(Messages, EveryEvenIdYieldsTheSessionsLanguage) {
  for (const Text& text : kTexts) {
    int count = 0;
    std::string loaded = Load(text.id, 256, &count);
    EXPECT_EQ(Expected(text), loaded) << "id " << text.id;
    EXPECT_EQ((int)AnsiFromUtf8(loaded).size(), count) << "id " << text.id;
  }
  for (const Text& result : kResults) {
    int count = 0;
    EXPECT_EQ(Expected(result), Load(2048 + 2 * result.id, 256, &count)) << "code " << result.id;
  }
}

TEST(Messages, CapacityCutsAndMissingIdsGiveNothing) {
  int count = 0;
  EXPECT_EQ("CAUTION!", Load(1028, 64, &count));
  EXPECT_EQ(8, count);
  EXPECT_EQ("CAU", Load(1028, 4, &count));
  EXPECT_EQ(3, count);
  // Ids outside the table, even and odd, on both paths of the rule.
  for (int id : {1032, 1038, 2068, 2082, 4000}) {
    EXPECT_EQ("", Load(id, 64, &count)) << "id " << id;
    EXPECT_EQ(0, count) << "id " << id;
  }
}

TEST(Messages, LongestTextFitsItsBuffer) {
  int count = 0;
  std::string text = Load(2064, 256, &count);
  // 47 bytes in code page 932; the English text is 39.
  EXPECT_EQ(IsJapanese ? 47 : 39, count);
  EXPECT_EQ(Expected(kResults[7]), text);
}

struct Shown {
  MessageBoxInfo box;
  int returned = 0;
  std::string report;
};

Shown ShowResult(int code) {
  Shown shown;
  shown.report = RunAsUser([&] { return ReadAndConfirmMessageBox(&shown.box); },
                           [&] { shown.returned = ShowResultMessage(code); });
  return shown;
}

void ExpectCautionBox(const Shown& shown, const char* text) {
  ASSERT_EQ("", shown.report);
  EXPECT_EQ(-1, shown.returned);
  EXPECT_EQ("CAUTION!", shown.box.caption);
  EXPECT_EQ(text, shown.box.text);
  EXPECT_EQ("information", shown.box.icon);
  // Wine's icon control has id 1088; Windows uses 20.
  EXPECT_TRUE(shown.box.iconControlId == 1088 || shown.box.iconControlId == 20);
  EXPECT_EQ((DWORD)SS_ICON, shown.box.iconStyle & SS_TYPEMASK);
  EXPECT_EQ(std::vector<std::string>{"OK"}, shown.box.buttons);
}

TEST(Messages, EveryResultCodeShowsItsMessage) {
  for (const Text& result : kResults) {
    SCOPED_TRACE("code " + std::to_string(result.id));
    ExpectCautionBox(ShowResult(result.id), Expected(result));
  }
}

TEST(Messages, CodesWithoutMessageShowTheInternalError) {
  for (int code : {0, 10, -1, 1000}) {
    SCOPED_TRACE("code " + std::to_string(code));
    ExpectCautionBox(ShowResult(code), Expected(kResults[8]));
  }
}

TEST(Messages, ShowMessageShowsAnyTextUnderTheCaution) {
  Shown shown;
  std::string text = AnsiFromUtf8(IsJapanese ? "確認\n二行目" : "Plain text\nsecond line");
  shown.report = RunAsUser([&] { return ReadAndConfirmMessageBox(&shown.box); },
                           [&] { shown.returned = ShowMessage(text.c_str()); });
  ExpectCautionBox(shown, IsJapanese ? "確認\n二行目" : "Plain text\nsecond line");
}

}  // namespace
