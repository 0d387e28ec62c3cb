#include "exports/ad_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "exports/vehicle_document.h"
#include "test_support.h"
#include "xml/xml_cursor.h"

namespace kalvex {
namespace {

TEST(ReplaceIgnoringCaseTest, ReplacesEveryOccurrenceWhateverTheCase) {
  EXPECT_EQ(ReplaceIgnoringCase("Clim clim CLIM cLiM", "clim", "X"), "X X X X");
  EXPECT_EQ(ReplaceIgnoringCase("Société SOCIÉTÉ", "é", "e"), "Societe SOCIeTe");
  EXPECT_EQ(ReplaceIgnoringCase("Élan élan", "ÉLAN", "-"), "- -");
}

TEST(ReplaceIgnoringCaseTest, ReplacesNonOverlappingOccurrencesFromTheLeft) {
  EXPECT_EQ(ReplaceIgnoringCase("aaaa", "AA", "b"), "bb");
  EXPECT_EQ(ReplaceIgnoringCase("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceIgnoringCase(";A;A;A;", ";a;", ";L;"), ";L;A;L;");
}

TEST(ReplaceIgnoringCaseTest, TableEntriesApplyInOrderToWhatTheEarlierOnesLeft) {
  constexpr TextReplacement kTable[] = {
      {"</NomPhoto1>", "</Photo>"}, {"<NomPhoto1>", "<Photo Num=\"1\">"}, {"<Photo ", "<P "}};
  EXPECT_EQ(ReplaceAllIgnoringCase("<NOMPHOTO1>a</nomphoto1><NomPhoto2>b</NomPhoto2>", kTable),
            "<P Num=\"1\">a</Photo><NomPhoto2>b</NomPhoto2>");
  EXPECT_EQ(ReplaceAllIgnoringCase("x", {}), "x");
}

// The definition ReplaceAllIgnoringCase keeps: each entry in turn on what the entries
// before it left.
std::string AppliedInOrder(std::string_view text, std::span<const TextReplacement> table) {
  std::string result(text);
  for (const TextReplacement& entry : table)
    result = ReplaceIgnoringCase(result, entry.from, entry.to);
  return result;
}

// A table whose entries view texts it owns.
struct OwnedTable {
  std::vector<std::pair<std::string, std::string>> texts;
  std::vector<TextReplacement> entries;
  void Add(std::string from, std::string to) { texts.emplace_back(std::move(from), std::move(to)); }
  std::span<const TextReplacement> View() {
    entries.clear();
    for (const auto& [from, to] : texts) entries.push_back({from, to});
    return entries;
  }
};

TEST(ReplaceAllIgnoringCaseTest, PortalTagRenamingsTakeOnePassWithTheSameResult) {
  OwnedTable table;
  for (const char* close : {"</", "<"})
    for (int n = 1; n <= 6; ++n)
      table.Add(
          close + std::string("NomPhoto") + std::to_string(n) + ">",
          close == std::string("</") ? "</Photo>" : "<Photo Num=\"" + std::to_string(n) + "\">");
  table.Add("<idNVO>", "<id-VO>");
  table.Add("</idNVO>", "</id-VO>");
  EXPECT_EQ(ReplacementPassCount(table.View()), 1u);
  for (const char* portal :
       {"ParuVendu", "AutoScout24", "SitAutoPro", "TopAnnonces", "LeBonCoin", "InfoPress"}) {
    XMLCursorPtr document = CreateXMLCursor();
    document->Load(testing::SourceDir() + "/tests/data/ExpDatas" + portal + ".xml");
    std::string text = document->XML();
    text += "<NOMPHOTO1>x</nomphoto1><IdNvo>ı</IDNVO><NomPhoto7></NomPhoto7>";
    const std::string renamed = ReplaceAllIgnoringCase(text, table.View());
    EXPECT_EQ(renamed, AppliedInOrder(text, table.View())) << portal;
    EXPECT_NE(renamed.find("<Photo Num=\"1\">x</Photo><id-VO>ı</id-VO>"), std::string::npos);
  }
}

TEST(ReplaceAllIgnoringCaseTest, EntriesThatMeetEarlierOnesStartANewPass) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> table;
    std::string text;
    size_t passes;
  };
  const Case cases[] = {
      {{{"<a>", "<b>"}, {"</a>", "</b>"}}, "<A>x</a><a></A>", 1},
      {{{"a", "b"}, {"b", "c"}}, "abAB", 2},         // meets what the first wrote
      {{{"ab", "x"}, {"bc", "y"}}, "abc bc ab", 2},  // overlapping patterns
      {{{"x", ""}, {"ab", "z"}}, "axb ab", 2},       // a removal joins neighbours
      {{{"É", "e"}, {"E", "f"}}, "Éé E", 2},         // "e" upper-cases to "E"
      {{{"ı", "x"}, {"i", "y"}}, "ıIi", 2},          // both upper-case to "I"
      {{{"ſ", "1"}, {"<s>", "2"}}, "<ſ>ſS<S>", 2},   // "ſ" upper-cases to the "S" of "<S>"
      {{{"ſ", "1"}, {"<b>", "2"}}, "<ſ>ſS<B>", 1},   // no shared character
      {{{"a", "b"}, {"\xC3", "!"}, {"c", "d"}}, "ac\xC3 é", 3},  // invalid UTF-8 alone
      {{{"", "x"}, {"a", "b"}}, "aa", 1},                        // an empty pattern does nothing
      {{{"aa", "b"}, {"c", "a"}}, "aaa c", 1},                   // writing a pattern is harmless
  };
  for (const Case& c : cases) {
    OwnedTable table;
    for (const auto& [from, to] : c.table) table.Add(from, to);
    const std::string expected = AppliedInOrder(c.text, table.View());
    EXPECT_EQ(ReplaceAllIgnoringCase(c.text, table.View()), expected) << c.text;
    std::string in_place = c.text;
    ReplaceAllIgnoringCaseIn(in_place, table.View());
    EXPECT_EQ(in_place, expected) << c.text;
    EXPECT_EQ(ReplacementPassCount(table.View()), c.passes) << c.text;
  }
}

TEST(ReplaceAllIgnoringCaseTest, GeneratedTablesGiveTheResultOfTheEntriesInOrder) {
  // Pieces that meet each other under the case rules: plain and accented letters,
  // letters whose upper case is ASCII, markup, a character U+00DF that has no simple
  // upper case, and bytes that are not UTF-8.
  const std::vector<std::string> pieces = {"a", "A", "b", "<", ">",    "/",    "é",       "É",
                                           "e", "ı", "I", "i", "ſ",    "s",    "S",       " ",
                                           "€", "ß", ";", "",  "\xC3", "\xA9", "\xE2\x82"};
  std::mt19937 random(15);
  auto pick = [&](int most) {
    std::string text;
    for (int n = std::uniform_int_distribution<int>(0, most)(random); n > 0; --n)
      text += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random)];
    return text;
  };
  size_t fewer_passes = 0;
  for (int round = 0; round < 4000; ++round) {
    OwnedTable table;
    for (int n = std::uniform_int_distribution<int>(1, 5)(random); n > 0; --n)
      table.Add(pick(3), pick(3));
    const std::string text = pick(40);
    ASSERT_EQ(ReplaceAllIgnoringCase(text, table.View()), AppliedInOrder(text, table.View()))
        << "round " << round << ": " << text;
    if (ReplacementPassCount(table.View()) < table.texts.size()) ++fewer_passes;
  }
  EXPECT_GT(fewer_passes, 400u);  // the single pass was exercised, not only the fallback
}

TEST(ReplaceIgnoringCaseTest, ReplacementIsNotSearchedAgain) {
  EXPECT_EQ(ReplaceIgnoringCase("ab ab", "ab", "abab"), "abab abab");
}

TEST(ReplaceIgnoringCaseTest, EmptyPatternOrTextLeavesTheTextUnchanged) {
  EXPECT_EQ(ReplaceIgnoringCase("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceIgnoringCase("", "a", "x"), "");
  EXPECT_EQ(ReplaceIgnoringCase("abc", "abcd", "x"), "abc");
}

TEST(ReplaceIgnoringCaseTest, KeepsEveryCharacterOutsideTheMatches) {
  // None of these fits in Windows-1252; all of them must survive.
  EXPECT_EQ(ReplaceIgnoringCase("Ωmega Ł 漢字 mois €", "MOIS", ""), "Ωmega Ł 漢字  €");
}

TEST(ReplaceIgnoringCaseTest, MapsPositionsBackWhenUpperCasingChangesByteLength) {
  // "ı" (2 bytes) and "ſ" (2 bytes) upper-case to the one-byte "I" and "S".
  EXPECT_EQ(ReplaceIgnoringCase("ıſ-abc-ıſ-ABC", "abc", "x"), "ıſ-x-ıſ-x");
  EXPECT_EQ(ReplaceIgnoringCase("xxıs yy", "IS", "[]"), "xx[] yy");
  EXPECT_EQ(ReplaceIgnoringCase("ſſſ mois ſ", "mois", "M"), "ſſſ M ſ");
  EXPECT_EQ(ReplaceIgnoringCase("ſ", "S", "z"), "z");
}

TEST(ReplaceIgnoringCaseTest, MatchesOnlyWholeCodePoints) {
  // Invalid UTF-8 is kept byte for byte; a lone lead byte never matches inside a character.
  EXPECT_EQ(ReplaceIgnoringCase("é", "\xC3", "x"), "é");
  EXPECT_EQ(ReplaceIgnoringCase("a\xE9z", "Z", "!"), "a\xE9!");
  EXPECT_EQ(ReplaceIgnoringCase("a\xC3 b", "\xC3", "x"), "ax b");
  // A lone continuation byte is a unit of its own; inside "é" it is not.
  EXPECT_EQ(ReplaceIgnoringCase("x\xA9y", "\xA9", "!"), "x!y");
  EXPECT_EQ(ReplaceIgnoringCase("é\xA9", "\xA9", "!"), "é!");
  EXPECT_EQ(ReplaceIgnoringCase("ÉTÉ", "\xA9", "!"), "ÉTÉ");
}

TEST(TrimBlanksTest, RemovesBlanksAndControlCharactersAtBothEnds) {
  EXPECT_EQ(TrimBlanks(" \t\r\n 12 \x01"), "12");
  EXPECT_EQ(TrimBlanks("  "), "");
  EXPECT_EQ(TrimBlanks(" é ß "), "é ß");
}

TEST(AppendListItemTest, AppendsSemicolonTerminatedItems) {
  std::string list;
  AppendListItem(list, "A");
  EXPECT_EQ(list, "A;");
  AppendListItem(list, "");
  AppendListItem(list, "B");
  EXPECT_EQ(list, "A;;B;");
}

TEST(StripBrandTest, RemovesTheBrandFollowedByABlankIgnoringCase) {
  EXPECT_EQ(StripBrand("Zeta 1.5 D", "Zeta"), "1.5 D");
  EXPECT_EQ(StripBrand("ZETA RS", "zeta"), "RS");
  EXPECT_EQ(StripBrand("Zeta Zeta 2 zeta", "Zeta"), "2 zeta");
}

TEST(StripBrandTest, BrandAtTheEndOrWithoutBlankStays) {
  EXPECT_EQ(StripBrand("1.5 D Zeta", "Zeta"), "1.5 D Zeta");
  EXPECT_EQ(StripBrand("Zetabus 2", "Zeta"), "Zetabus 2");
}

TEST(StripBrandTest, BrandWithEAcuteAlsoRemovesItsUnaccentedForm) {
  EXPECT_EQ(StripBrand("Séra 2 Sera 3 SÉRA 4 SERA 5", "Séra"), "2 3 4 5");
  EXPECT_EQ(StripBrand("Sera 3", "SÉRA"), "3");
  // Other accents are not folded.
  EXPECT_EQ(StripBrand("Citroën C3 Citroen C4", "Citroën"), "C3 Citroen C4");
}

TEST(StripBrandTest, AccentedBrandMatchesItsUpperCaseForm) {
  EXPECT_EQ(StripBrand("CITROËN C3 1.2 PureTech Séduction", "Citroën"),
            "C3 1.2 PureTech Séduction");
  EXPECT_EQ(StripBrand("Mégane Coupé 1.5 dCi", "MÉGANE"), "Coupé 1.5 dCi");
  EXPECT_EQ(StripBrand("Megane Coupé 1.5 dCi", "MÉGANE"), "Coupé 1.5 dCi");
}

TEST(StripBrandTest, EmptyBrandLeavesTheTextUnchanged) {
  EXPECT_EQ(StripBrand("Zeta 1.5 D", ""), "Zeta 1.5 D");
}

// The equipment labels of the ParuVendu sample document.
class ExpandEquipmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    document_ = CreateXMLCursor();
    document_->Load(testing::SourceDir() + "/tests/data/" + VehicleDocumentName("ParuVendu"));
    vehicles_ = document_->Select(kVehiclesXPath);
    ASSERT_FALSE(vehicles_->Eof());
    labels_.emplace(*document_);
  }
  // Both forms, the query per code and the labels read once, must agree everywhere.
  std::string Expand(std::string_view list) {
    const std::string by_query = ExpandEquipment(*vehicles_, list);
    EXPECT_EQ(ExpandEquipment(*labels_, list), by_query) << list;
    return by_query;
  }

  XMLCursorPtr document_;
  XMLCursorPtr vehicles_;
  std::optional<EquipmentLabels> labels_;
};

TEST_F(ExpandEquipmentTest, EmptyListOrSeparatorAloneGivesEmptyText) {
  EXPECT_EQ(Expand(""), "");
  EXPECT_EQ(Expand(";"), "");
  EXPECT_EQ(Expand(";;"), "");
}

TEST_F(ExpandEquipmentTest, ReplacesEveryCodeByItsLabel) {
  EXPECT_EQ(Expand(";Clim;VitreElect;RadCD;"), "Climatisation, Vitres électriques, Radio CD");
  EXPECT_EQ(Expand(";ESP;"), "Contrôle de trajectoire (ESP)");
}

TEST_F(ExpandEquipmentTest, CodesAreLookedUpInAsciiUpperCase) {
  EXPECT_EQ(Expand(";clim;"), "Climatisation");
  // A label stored under a lower-case code is never found.
  EXPECT_EQ(Expand(";gps;"), "");
  EXPECT_EQ(Expand(";Clim;gps;"), "Climatisation, ");
}

TEST_F(ExpandEquipmentTest, UnknownCodeLeavesAnEmptyItem) {
  EXPECT_EQ(Expand(";Clim;Inconnu;ABS;"), "Climatisation, , ABS");
  EXPECT_EQ(Expand(";Inconnu;Clim;"), ", Climatisation");
  EXPECT_EQ(Expand(";Clim;Inconnu;"), "Climatisation, ");
}

TEST_F(ExpandEquipmentTest, FirstLabelRecordWinsForADuplicateCode) {
  EXPECT_EQ(Expand(";ABS;"), "ABS");
}

TEST_F(ExpandEquipmentTest, CodeWithQuoteFindsItsLabel) {
  EXPECT_EQ(Expand(";clim;Pack'Confort;"), "Climatisation, Pack Confort été");
  EXPECT_EQ(Expand(";Rétro'\"Élec\";"), "");
}

TEST_F(ExpandEquipmentTest, CodeListedTwiceIsReplacedAtBothPlaces) {
  EXPECT_EQ(Expand(";Clim;ABS;Clim;"), "Climatisation, ABS, Climatisation");
  EXPECT_EQ(Expand(";Clim;Clim;Clim;"), "Climatisation, Climatisation, Climatisation");
}

TEST_F(ExpandEquipmentTest, UnmarkedEdgesStayUnchanged) {
  // A first code without leading ";" is looked up but not replaced.
  EXPECT_EQ(Expand("Première main;VNF;"), "Première main, Véhicule non fumeur");
  // Characters after the last ";" are never looked up.
  EXPECT_EQ(Expand(";Clim;VNF"), "Climatisation, VNF");
}

TEST_F(ExpandEquipmentTest, ReadsTheSampleVehicleLists) {
  EXPECT_EQ(Expand(vehicles_->GetValue(kEquipmentFields.safety)),
            "ABS, Contrôle de trajectoire (ESP), Airbag conducteur");
  vehicles_->Next();
  EXPECT_EQ(Expand(vehicles_->GetValue(kEquipmentFields.exterior)), ", Jantes alliage");
}

TEST(ExpandEquipmentLabelTest, LabelHoldingSeparatorsBecomesSeveralItems) {
  XMLCursorPtr document = CreateXMLCursor();
  document->LoadXML(
      "<document><LiensEquipementsS>"
      "<LiensEquipements><AbbrEquip>PACK</AbbrEquip>"
      "<LibelleEquipement>Pack hiver;sièges chauffants</LibelleEquipement></LiensEquipements>"
      "<LiensEquipements><AbbrEquip>L'\"X\"</AbbrEquip>"
      "<LibelleEquipement>Deux guillemets</LibelleEquipement></LiensEquipements>"
      "</LiensEquipementsS></document>");
  EXPECT_EQ(ExpandEquipment(*document, ";Pack;"), "Pack hiver, sièges chauffants");
  EXPECT_EQ(ExpandEquipment(*document, ";l'\"x\";Pack;"),
            "Deux guillemets, Pack hiver, sièges chauffants");
}

TEST(ExpandExtraWithWarrantyTest, WarrantyJoinsTheListOnceWithoutAnEmptyItem) {
  XMLCursorPtr document = CreateXMLCursor();
  document->LoadXML(
      "<document><LiensEquipementsS>"
      "<LiensEquipements><AbbrEquip>VNF</AbbrEquip>"
      "<LibelleEquipement>Non fumeur</LibelleEquipement></LiensEquipements>"
      "<LiensEquipements><AbbrEquip>GAR</AbbrEquip>"
      "<LibelleEquipement>SOUS garantie</LibelleEquipement></LiensEquipements>"
      "</LiensEquipementsS></document>");
  const EquipmentLabels labels(*document);
  EXPECT_EQ(ExpandExtraWithWarranty(labels, ";VNF;", "12 mois"), "Non fumeur, Garantie : 12 mois");
  EXPECT_EQ(ExpandExtraWithWarranty(labels, ";VNF", "12 mois"), "Non fumeur, Garantie : 12 mois");
  EXPECT_EQ(ExpandExtraWithWarranty(labels, "", "6 mois"), "Garantie : 6 mois");
  // Listed already: not added a second time, and the list's order is kept.
  EXPECT_EQ(ExpandExtraWithWarranty(labels, ";Gar;VNF;", "6 mois"),
            "Garantie : 6 mois, Non fumeur");
  // No warranty: the list alone.
  EXPECT_EQ(ExpandExtraWithWarranty(labels, ";VNF;", ""), "Non fumeur");
  EXPECT_EQ(ExpandExtraWithWarranty(labels, "", ""), "");
}

// A cursor that records the queries asked of it; no other operation may be called.
class QueryRecordingCursor : public IXMLCursor {
 public:
  MOCK_METHOD(XMLCursorPtr, AppendChild, (const std::string&, const std::string&), (override));
  MOCK_METHOD(void, AppendXMLCursor, (const XMLCursorPtr&), (override));
  MOCK_METHOD(std::string, ParentXML, (), (const, override));
  MOCK_METHOD(int32_t, Count, (), (const, override));
  MOCK_METHOD(void, Delete, (), (override));
  MOCK_METHOD(XMLCursorPtr, SelectDocument, (), (override));
  MOCK_METHOD(bool, Eof, (), (const, override));
  MOCK_METHOD(void, First, (), (override));
  MOCK_METHOD(std::string, NodeName, (), (const, override));
  MOCK_METHOD(std::string, GetValue, (const std::string&), (const, override));
  MOCK_METHOD(XMLCursorPtr, InsertBefore, (const std::string&, const std::string&), (override));
  MOCK_METHOD(XMLCursorPtr, InsertAfter, (const std::string&, const std::string&), (override));
  MOCK_METHOD(void, Last, (), (override));
  MOCK_METHOD(void, Load, (const std::string&), (override));
  MOCK_METHOD(void, LoadXML, (const std::string&), (override));
  MOCK_METHOD(void, MoveTo, (int32_t), (override));
  MOCK_METHOD(void, Next, (), (override));
  MOCK_METHOD(int32_t, Index, (), (const, override));
  MOCK_METHOD(void, ReplaceWithXMLCursor, (const XMLCursorPtr&), (override));
  MOCK_METHOD(void, Save, (const std::string&), (const, override));
  MOCK_METHOD(XMLCursorPtr, Select, (const std::string&), (override));
  MOCK_METHOD(void, SetAttribute, (const std::string&, const std::string&), (override));
  MOCK_METHOD(void, SetValue, (const std::string&, const std::string&), (override));
  MOCK_METHOD(void, SetCDATA, (const std::string&, const std::string&), (override));
  MOCK_METHOD(std::string, XML, (), (const, override));
  MOCK_METHOD(XMLDOMDocumentPtr, Document, (), (const, override));
  MOCK_METHOD(XMLDOMNode, CurrentNode, (), (const, override));
  MOCK_METHOD(std::string, ReadValue, (const std::string&), (const, override));
  MOCK_METHOD(void, WriteValue, (const std::string&, const std::string&), (override));
  MOCK_METHOD(std::string, PrettyXML, (), (const, override));
  MOCK_METHOD(XMLCursorPtr, InsertFirstChild, (const std::string&, const std::string&), (override));
  MOCK_METHOD(void, AddChild, (const std::string&, const std::string&), (override));
  MOCK_METHOD(std::vector<XMLDOMNode>, ListedNodes, (), (const, override));
};

TEST(ExpandEquipmentQueryTest, EmptyListAsksNoQuery) {
  ::testing::StrictMock<QueryRecordingCursor> cursor;
  EXPECT_EQ(ExpandEquipment(cursor, ""), "");
}

TEST(ExpandEquipmentQueryTest, EachTokenCostsOneQueryInAsciiUpperCase) {
  XMLCursorPtr document = CreateXMLCursor();
  document->LoadXML(
      "<document><LiensEquipementsS><LiensEquipements><AbbrEquip>CLIM</AbbrEquip>"
      "<LibelleEquipement>Climatisation</LibelleEquipement></LiensEquipements>"
      "</LiensEquipementsS></document>");
  ::testing::StrictMock<QueryRecordingCursor> cursor;
  auto answer = [&](const std::string& xpath) { return document->Select(xpath); };
  {
    ::testing::InSequence in_order;
    EXPECT_CALL(cursor, Select(EquipmentLabelXPath("CLIM"))).WillOnce(answer);
    EXPECT_CALL(cursor, Select(EquipmentLabelXPath("SIèGE'CUIR"))).WillOnce(answer);
    EXPECT_CALL(cursor, Select(EquipmentLabelXPath("CLIM"))).WillOnce(answer);
    EXPECT_CALL(cursor, Select(EquipmentLabelXPath("TOIT"))).WillOnce(answer);
  }
  EXPECT_EQ(ExpandEquipment(cursor, ";clim;Siège'Cuir;Clim;;Toit;reste"),
            "Climatisation, , Climatisation, , , reste");
}

TEST(HasEquipmentTest, AnswersWithEachPair) {
  EXPECT_EQ(HasEquipment(";Clim;ABS;", "Clim", kAnswerDigits), "1");
  EXPECT_EQ(HasEquipment(";Clim;ABS;", "ESP", kAnswerDigits), "0");
  EXPECT_EQ(HasEquipment(";Clim;ABS;", "ABS", kAnswerLetters), "O");
  EXPECT_EQ(HasEquipment(";Clim;ABS;", "ESP", kAnswerLetters), "N");
  EXPECT_EQ(HasEquipment(";Clim;ABS;", "ABS", kAnswerWords), "true");
  EXPECT_EQ(HasEquipment(";Clim;ABS;", "ESP", kAnswerWords), "false");
}

TEST(HasEquipmentTest, SearchIsExactAndCaseSensitive) {
  EXPECT_EQ(HasEquipment(";Clim;ABS;", "clim", kAnswerDigits), "0");
  EXPECT_EQ(HasEquipment(";ClimAuto;", "Clim", kAnswerDigits), "0");
  // Without the leading ";" the first code is not found.
  EXPECT_EQ(HasEquipment("Clim;ABS;", "Clim", kAnswerDigits), "0");
}

TEST(HasEquipmentTest, EmptyListMeansNothingKnown) {
  EXPECT_EQ(HasEquipment("", "Clim", kAnswerDigits), "");
  EXPECT_EQ(HasEquipment("", "Clim", kAnswerLetters), "");
  EXPECT_EQ(HasEquipment("", "Clim", kAnswerWords), "");
}

TEST(HasEquipmentTest, EmptyCodeIsFoundOnlyInAnEmptyItem) {
  EXPECT_EQ(HasEquipment(";Clim;;ABS;", "", kAnswerDigits), "1");
  EXPECT_EQ(HasEquipment(";Clim;ABS;", "", kAnswerDigits), "0");
}

TEST(BodyTypeCodeTest, MapsEveryRowOfTheTable) {
  EXPECT_EQ(BodyTypeCode("Berline"), "11100");
  EXPECT_EQ(BodyTypeCode("break"), "11200");
  EXPECT_EQ(BodyTypeCode("Monospace"), "11300");
  EXPECT_EQ(BodyTypeCode("4x4"), "11400");
  EXPECT_EQ(BodyTypeCode("Pick up"), "11400");
  EXPECT_EQ(BodyTypeCode("Cabriolet"), "11500");
  EXPECT_EQ(BodyTypeCode("Coupé"), "11500");
  EXPECT_EQ(BodyTypeCode("COUPÈ"), "11500");
  EXPECT_EQ(BodyTypeCode("Société"), "11200");
  EXPECT_EQ(BodyTypeCode("SOCIÉTÉ"), "11200");
}

TEST(BodyTypeCodeTest, AnythingElseGivesTheDefault) {
  EXPECT_EQ(BodyTypeCode(""), "11100");
  EXPECT_EQ(BodyTypeCode("Berline "), "11100");
  EXPECT_EQ(BodyTypeCode(" Break"), "11100");
  EXPECT_EQ(BodyTypeCode("Pick-up"), "11100");
  EXPECT_EQ(BodyTypeCode("Coupê"), "11100");
}

TEST(StripMonthsTest, RemovesTheWordAndTrims) {
  EXPECT_EQ(StripMonths("24 mois"), "24");
  EXPECT_EQ(StripMonths("12 Mois"), "12");
  EXPECT_EQ(StripMonths(" 6 MOIS "), "6");
  EXPECT_EQ(StripMonths(""), "");
  EXPECT_EQ(StripMonths("Garantie 12 mois pièces"), "Garantie 12  pièces");
}

TEST(DoorCountTest, ReducesDoorsTextToItsNumber) {
  EXPECT_EQ(DoorCount("5 portes"), "5");
  EXPECT_EQ(DoorCount("5 portes avec hayon"), "5");
  EXPECT_EQ(DoorCount("3p"), "3");
  EXPECT_EQ(DoorCount("3 P"), "3");
  EXPECT_EQ(DoorCount(""), "");
}

TEST(DoorCountTest, LastPassRemovesEveryLetterP) {
  EXPECT_EQ(DoorCount("Coupé 2p"), "Coué 2");
  EXPECT_EQ(DoorCount("4 Portes HAYON"), "4");
}

TEST(ReplaceSpansTest, ReplacesAlternatingSpans) {
  EXPECT_EQ(ReplaceSpans("a[b]c[d]e", "[", "]", "-"), "a-c-e");
  EXPECT_EQ(ReplaceSpans("<x><A>1</A><B>2</B></x><x><A>3</A><B>4</B></x>", "<A>", "</B>", ""),
            "<x></x><x></x>");
  EXPECT_EQ(ReplaceSpans("[]", "[", "]", "abc"), "abc");
}

TEST(ReplaceSpansTest, MissingMarkerLeavesTheTextUnchanged) {
  EXPECT_EQ(ReplaceSpans("a]b]c", "[", "]", "-"), "a]b]c");
  EXPECT_EQ(ReplaceSpans("a[b[c", "[", "]", "-"), "a[b[c");
  EXPECT_EQ(ReplaceSpans("", "[", "]", "-"), "");
}

TEST(ReplaceSpansTest, StopsAtAnOpeningMarkerWithoutClosingMarkerAfterIt) {
  EXPECT_EQ(ReplaceSpans("a[b]c[d", "[", "]", "-"), "a-c[d");
}

TEST(ReplaceSpansTest, ReversedMarkersEnd) {
  // A closing marker before the first opening marker is kept.
  EXPECT_EQ(ReplaceSpans("a]b[c]d", "[", "]", "-"), "a]b-d");
  EXPECT_EQ(ReplaceSpans("]x[", "[", "]", "-"), "]x[");
  // An absent opening field, as the exporters meet it, keeps its closing tag only.
  EXPECT_EQ(ReplaceSpans("<r><B>2</B></r><r><A>3</A><B>4</B></r>", "<A>", "</B>", ""),
            "<r><B>2</B></r><r></r>");
}

TEST(ReplaceSpansTest, ReplacementHoldingTheMarkersIsNotSearchedAgain) {
  EXPECT_EQ(ReplaceSpans("a[b]c[d]e", "[", "]", "[x]"), "a[x]c[x]e");
  EXPECT_EQ(ReplaceSpans("a[b]c]", "[", "]", "["), "a[c]");
}

TEST(ReplaceSpansTest, MarkersAreExactAndCaseSensitive) {
  EXPECT_EQ(ReplaceSpans("<a>x</A><a>y</a>", "<a>", "</a>", "-"), "-");
  EXPECT_EQ(ReplaceSpans("<A>x</a>", "<a>", "</a>", "-"), "<A>x</a>");
}

TEST(ReplaceSpansTest, EmptyMarkerNeverOccurs) {
  EXPECT_EQ(ReplaceSpans("a[b]c", "", "]", "-"), "a[b]c");
  EXPECT_EQ(ReplaceSpans("a[b]c", "[", "", "-"), "a[b]c");
}

TEST(ReplaceSpansTest, OverlappingMarkersLookForTheClosingOneAfterTheOpeningOne) {
  EXPECT_EQ(ReplaceSpans("x<a>1<a>y", "<a>", "a>", "-"), "x-y");
}

}  // namespace
}  // namespace kalvex
