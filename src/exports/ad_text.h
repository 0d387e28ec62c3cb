// The small text operations the exporters share to turn raw vehicle fields into the
// words and codes a portal expects. Texts are UTF-8; no character is ever lost.
//
// "Ignoring case" compares per code point after the Unicode simple upper-case mapping
// (UpperCaseUnicode), so "É" matches "é"; "ASCII upper case" changes only a to z.
// Every replacement that ignores case replaces all non-overlapping occurrences, left to
// right. None of these operations raises an error of its own; ExpandEquipment passes on
// the errors of the cursor.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kalvex {

class IXMLCursor;

// The two answers of HasEquipment: when the list holds the code, and when it does not.
struct EquipmentAnswers {
  std::string_view yes;
  std::string_view no;
};
inline constexpr EquipmentAnswers kAnswerDigits{"1", "0"};        // AutoScout24 vehicle file
inline constexpr EquipmentAnswers kAnswerLetters{"O", "N"};       // SitAutoPro
inline constexpr EquipmentAnswers kAnswerWords{"true", "false"};  // TopAnnonces

// Replaces every non-overlapping occurrence of pattern in text, compared ignoring case,
// scanning from left to right, in one pass. An empty pattern leaves the text unchanged.
std::string ReplaceIgnoringCase(std::string_view text, std::string_view pattern,
                                std::string_view replacement);

// One entry of an exporter's table of tag renamings.
struct TextReplacement {
  std::string_view from;
  std::string_view to;
};
// Gives the text that applying the entries in table order, each with
// ReplaceIgnoringCase on the text the entries before it left, would give; but looks for
// all patterns at once, in one pass over the text, wherever that gives the same result.
// An entry that could meet what an earlier one wrote, or overlap its matches, starts a
// new pass; an entry with invalid UTF-8 is applied on its own.
std::string ReplaceAllIgnoringCase(std::string_view text, std::span<const TextReplacement> table);
// The same, in place: the text before each pass is freed as soon as the pass is done.
void ReplaceAllIgnoringCaseIn(std::string& text, std::span<const TextReplacement> table);
// How many passes over a text ReplaceAllIgnoringCase makes for the table.
size_t ReplacementPassCount(std::span<const TextReplacement> table);

// Removes from both ends every character whose code is at most that of the blank.
std::string TrimBlanks(std::string_view text);

// list := list + item + ";". An empty item adds ";" alone (an empty field of the line).
void AppendListItem(std::string& list, std::string_view item);

// Removes every brand + " " ignoring case, then every occurrence of the brand with each
// "é"/"É" written "e", followed by a blank. A brand at the very end of the text stays.
// An empty brand leaves the text unchanged.
std::string StripBrand(std::string_view text, std::string_view brand);

// Turns the code list ";A;B;" into "label of A, label of B", looking each code up in
// ASCII upper case in the equipment labels of the cursor's document (first match in
// document order; a code without a label leaves an empty item). An empty list gives the
// empty text without any query.
std::string ExpandEquipment(IXMLCursor& cursor, std::string_view code_list);

// The equipment labels of a document, read once: code -> label of the first record
// whose AbbrEquip equals the code, as the label query finds it. For stocks where every
// vehicle's lists are expanded, so that each code costs a hash lookup, not a query.
class EquipmentLabels {
 public:
  explicit EquipmentLabels(IXMLCursor& document);
  // The label of the code (exact match), or nullptr when no record has it.
  const std::string* Find(const std::string& code) const;

 private:
  std::unordered_map<std::string, std::string> labels_;
};

// ExpandEquipment over labels read beforehand; same result as the cursor form.
std::string ExpandEquipment(const EquipmentLabels& labels, std::string_view code_list);

// The labels of a vehicle's extra code list with its warranty. When the warranty is not
// empty and the list lacks ";Gar;", the code Gar joins the list (in memory) as one more
// item: "Gar;" after a list that ends with ";", ";Gar;" otherwise, so that no empty item
// appears. The list is expanded, then every "Sous Garantie" of the labels, ignoring case,
// becomes "Garantie : " + warranty.
std::string ExpandExtraWithWarranty(const EquipmentLabels& labels, std::string_view extra_list,
                                    std::string_view warranty);

// Empty when the list is empty (nothing known); otherwise answers.yes when ";" + code +
// ";" occurs in the list (exact, case-sensitive), answers.no when it does not.
std::string HasEquipment(std::string_view list, std::string_view code,
                         const EquipmentAnswers& answers);

// Five-digit category code of a body-type word: "é"/"è" become "e" ignoring case, the
// text is ASCII upper-cased and compared whole; anything unknown gives "11100".
std::string BodyTypeCode(std::string_view text);

// Removes every "MOIS" ignoring case, then trims: "24 mois" gives "24".
std::string StripMonths(std::string_view text);

// Removes "hayon", "avec", "portes" and then every "p", ignoring case, trimming after
// each pass: "5 portes avec hayon" gives "5", "3p" gives "3".
std::string DoorCount(std::string_view text);

// Replaces every span that starts with an opening marker and ends with the next closing
// marker after it, both included, by the replacement, in one left-to-right pass. Stops
// at the first opening marker without a closing marker after it. An empty marker never
// occurs, so the text comes back unchanged.
std::string ReplaceSpans(std::string_view text, std::string_view opening, std::string_view closing,
                         std::string_view replacement);

}  // namespace kalvex
