#include "MainFormTestSupport.h"

TEST_F(MainFormTest, WordSearchClassifiesEveryMatch) {
  Search(u"water");
  // An entry found twice is listed twice, with the same text.
  EXPECT_EQ(Items(form->lstExactMatch), (std::vector<WideString>{u"water", u"water", u"water", u"water"}));
  EXPECT_EQ(Items(form->lstSimiliarMatch), (std::vector<WideString>{u"water supply", u"water supply", u"rainwater"}));
  EXPECT_EQ(form->lblExactMatch->Caption(), "Exact match (4)");
  EXPECT_EQ(form->lblSimiliarMatch->Caption(), "Similiar match (3)");
  EXPECT_FALSE(form->Searching());
  EXPECT_FALSE(form->imgLoading->Visible());
  EXPECT_FALSE(form->lblStop->Visible());
}

TEST_F(MainFormTest, ExactListIsShownWithItsFirstEntry) {
  Search(u"water");
  EXPECT_TRUE(form->lstExactMatch->Visible());
  EXPECT_FALSE(form->lstSimiliarMatch->Visible());
  EXPECT_EQ(form->lstExactMatch->ItemIndex(), 0);
  EXPECT_EQ(form->CurrentLine(), u"水 [みず] /(n) water/(P)/");
}

TEST_F(MainFormTest, OnlySimilarHitsBringUpTheSimilarList) {
  Search(u"rain");
  EXPECT_TRUE(form->lstSimiliarMatch->Visible());
  EXPECT_FALSE(form->lstExactMatch->Visible());
  EXPECT_EQ(form->lstSimiliarMatch->ItemIndex(), 0);
  EXPECT_EQ(form->CurrentLine(), u"雨水 [あまみず] /(n) rainwater/");
}

TEST_F(MainFormTest, CtrlEnterListsExactHitsOnly) {
  Search(u"water", ssCtrl);
  EXPECT_EQ(form->ExactCount(), 4);
  EXPECT_EQ(form->SimiliarCount(), 0);
  EXPECT_EQ(form->lblSimiliarMatch->Caption(), "Similiar match");
}

TEST_F(MainFormTest, KanaAndMixedQueriesSearch) {
  Search(u"みず");
  EXPECT_EQ(Items(form->lstExactMatch), (std::vector<WideString>{u"みず"}));
  EXPECT_EQ(Items(form->lstSimiliarMatch), (std::vector<WideString>{u"おみず", u"あまみず"}));
  Search(u"Japan日本");  // accepted: the earlier results are cleared
  EXPECT_EQ(form->ExactCount() + form->SimiliarCount(), 0);
  EXPECT_EQ(form->lstSimiliarMatch->Items().Count(), 0);
}

TEST_F(MainFormTest, RefusedQueriesChangeNothing) {
  Search(u"water");
  for (const WideString& q : {WideString(u""), WideString(u"wat3r"), WideString(u"wa ter"),
                              WideString(u"caf\u00e9"), WideString(u"wat.r"), WideString(u"R&D")}) {
    Search(q);
    EXPECT_EQ(form->ExactCount(), 4);
    EXPECT_EQ(form->lblExactMatch->Caption(), "Exact match (4)");
    EXPECT_EQ(form->lstSimiliarMatch->Items().Count(), 3);
  }
}

TEST_F(MainFormTest, MatchInsideAGroupAddsNothing) {
  Search(u"pol");
  EXPECT_EQ(form->ExactCount(), 0);
  EXPECT_EQ(form->SimiliarCount(), 0);
  EXPECT_EQ(form->lblExactMatch->Caption(), "Exact match");
}

TEST_F(MainFormTest, StopKeepsWhatWasFound) {
  int matches = 0;
  auto classify = SearchEngine->OnMatch;
  SearchEngine->OnMatch = [&](int64_t start, int64_t stop) {
    if (++matches == 3) form->lblStopClick(form->lblStop);
    classify(start, stop);
  };
  Search(u"water");
  EXPECT_EQ(form->ExactCount() + form->SimiliarCount(), 2);
  EXPECT_GT(matches, 3);  // the scan still ran to the end
  EXPECT_FALSE(form->Searching());
  EXPECT_FALSE(form->lblStop->Visible());
}

TEST_F(MainFormTest, ErrorDuringTheScanReturnsToIdle) {
  SearchEngine->OnMatch = [](int64_t, int64_t) { throw EInvalidOperation("scan failed"); };
  EXPECT_THROW(Search(u"water"), EInvalidOperation);
  EXPECT_FALSE(form->Searching());
  EXPECT_FALSE(form->imgLoading->Visible());
  EXPECT_FALSE(form->lblStop->Visible());
}

TEST_F(MainFormTest, MatchInTheFirstLineYieldsThatLine) {
  Search(u"test");
  ASSERT_EQ(form->SimiliarCount(), 1);
  EXPECT_EQ(form->CurrentLine(), u"\u3000\uFF1F\uFF1F\uFF1F /test dictionary/");
}
