#include "xml/xml_dom.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "test_support.h"
#include "xml/xml_cursor.h"

namespace kalvex {
namespace {

using kalvex::testing::SourceDir;

// The sample documents of every portal, and two with namespaces: a default one (which
// an unprefixed name never finds) and a prefixed one beside plain names.
std::vector<std::string> SampleTexts() {
  std::vector<std::string> texts;
  for (const char* portal :
       {"ParuVendu", "AutoScout24", "SitAutoPro", "TopAnnonces", "LeBonCoin", "InfoPress"})
    texts.push_back(
        kalvex::testing::ReadFile(SourceDir() + "/tests/data/ExpDatas" + portal + ".xml"));
  texts.push_back("<document xmlns=\"urn:vo\"><DataVO><idNVO>1</idNVO></DataVO></document>");
  texts.push_back(
      "<document xmlns:p=\"urn:p\"><DataVO><p:idNVO>1</p:idNVO><idNVO>2</idNVO>"
      "<idnvo>3</idnvo><IDNVO>4</IDNVO><idNVO>5<b>6</b></idNVO><Id-VO.2>7</Id-VO.2>"
      "<_x>8</_x></DataVO><!-- idNVO --><?idNVO x?></document>");
  return texts;
}

void CollectElements(xmlNode* node, std::vector<xmlNode*>* elements) {
  for (xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    elements->push_back(child);
    CollectElements(child, elements);
  }
}

// The names to try from a context: every name used in the document, in the letter cases
// a person might write it, and names that XPath reads otherwise or that find nothing.
std::set<std::string> NamesToTry(const std::vector<xmlNode*>& elements) {
  std::set<std::string> names = {"absent", "node", "text", "and", "div", "_x", "x-y.z"};
  for (xmlNode* element : elements) {
    if (element->type != XML_ELEMENT_NODE) continue;
    std::string name = reinterpret_cast<const char*>(element->name);
    names.insert(name);
    std::string upper = name, lower = name, flipped = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    flipped[0] = std::isupper(static_cast<unsigned char>(name[0]))
                     ? static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])))
                     : static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    names.insert({upper, lower, flipped});
  }
  return names;
}

TEST(XMLDomPlainNames, WhatXPathReadsAsOneChildNameTestIsPlain) {
  for (const char* plain : {"idNVO", "NomPhoto1", "_x", "Id-VO.2", "a", "node", "and"})
    EXPECT_TRUE(xmldom::IsPlainChildName(plain)) << plain;
  for (const char* other : {"", ".", "..", "*", "@type", "p:idNVO", "1a", "-a", ".a", "a/b", "a[1]",
                            " a", "a ", "text()", "caf\xC3\xA9", "a|b"})
    EXPECT_FALSE(xmldom::IsPlainChildName(other)) << other;
}

// Every context node of the sample documents, every name: the walk over the children
// finds exactly the nodes the XPath evaluation finds, in the same order.
TEST(XMLDomPlainNames, ChildWalkFindsWhatXPathFinds) {
  for (const std::string& text : SampleTexts()) {
    XMLDOMDocument document;
    document.ReplaceContent(xmldom::ParseText(text));
    std::vector<xmlNode*> contexts = {document.doc_node()};
    CollectElements(document.doc_node(), &contexts);
    const std::set<std::string> names = NamesToTry(contexts);
    size_t found = 0;
    for (xmlNode* context : contexts) {
      for (const std::string& name : names) {
        const std::vector<xmlNode*> walked = xmldom::SelectNodes(document, context, name);
        EXPECT_EQ(walked, xmldom::EvaluateXPath(document, context, name))
            << name << " from " << xmldom::NodeName(context);
        EXPECT_EQ(xmldom::SelectFirst(document, context, name),
                  walked.empty() ? nullptr : walked.front());
        found += walked.size();
      }
    }
    // The walk was exercised (a default namespace hides every element from plain names).
    if (text.find("xmlns=") == std::string::npos) {
      EXPECT_GT(found, contexts.size() / 2) << text.substr(0, 80);
    }
  }
}

// The cursor's GetValue and SetValue of a plain name against the same operations through
// an XPath expression that finds the same nodes ("./name"), on every record.
TEST(XMLDomPlainNames, CursorReadsAndWritesAsThroughXPath) {
  for (const std::string& text : SampleTexts()) {
    XMLCursorPtr fast = CreateXMLCursor();
    fast->LoadXML(text);
    XMLCursorPtr slow = CreateXMLCursor();
    slow->LoadXML(text);
    XMLCursorPtr fast_records = fast->Select("//*");
    XMLCursorPtr slow_records = slow->Select("//*");
    ASSERT_EQ(fast_records->Count(), slow_records->Count());
    std::vector<xmlNode*> elements;
    CollectElements(fast->Document()->doc_node(), &elements);
    const std::set<std::string> names = NamesToTry(elements);
    for (; !fast_records->Eof(); fast_records->Next(), slow_records->Next()) {
      for (const std::string& name : names) {
        const std::string value = slow_records->GetValue("./" + name);
        ASSERT_EQ(fast_records->GetValue(name), value) << name;
        // Fields only: writing a record set's name would empty the whole set.
        if (slow_records->Select("./" + name)->Eof() ||
            !slow_records->Select("./" + name + "/*")->Eof())
          continue;
        fast_records->SetValue(name, "é" + name);
        slow_records->SetValue("./" + name, "é" + name);
      }
    }
    EXPECT_EQ(fast->XML(), slow->XML());
  }
}

TEST(XMLDomPlainNames, SetValueOfAnAbsentPlainNameAppendsTheElement) {
  XMLCursorPtr cursor = CreateXMLCursor();
  cursor->LoadXML("<r xmlns:p=\"urn:p\"><v><p:a>1</p:a><A>2</A></v></r>");
  XMLCursorPtr v = cursor->Select("v");
  v->SetValue("a", "3");
  v->SetValue("a", "4");
  EXPECT_EQ(v->XML(), "<v><p:a>1</p:a><A>2</A><a>4</a></v>");
}

// Short texts written into a parsed document share its dictionary; they read, change,
// join neighbouring texts and go like any other (the sanitisers see every free).
TEST(XMLDomSharedTexts, ShortWrittenTextsLiveInTheDictionaryAndBehaveAsOwnTexts) {
  XMLCursorPtr cursor = CreateXMLCursor();
  cursor->LoadXML("<r><c/></r>");
  xmlDict* dict = cursor->Document()->doc()->dict;
  ASSERT_NE(dict, nullptr);
  XMLCursorPtr c = cursor->Select("c");
  const std::string long_text(16, 'x');
  XMLCursorPtr shared = c->AppendChild("complement", "true");
  shared->SetAttribute("type", "O1");
  XMLCursorPtr own = c->AppendChild("complement", long_text);
  own->SetAttribute("type", long_text);
  xmlNode* short_element = shared->CurrentNode();
  xmlNode* long_element = own->CurrentNode();
  EXPECT_EQ(xmlDictOwns(dict, short_element->children->content), 1);
  EXPECT_EQ(xmlDictOwns(dict, short_element->properties->children->content), 1);
  EXPECT_EQ(xmlDictOwns(dict, long_element->children->content), 0);
  EXPECT_EQ(xmlDictOwns(dict, long_element->properties->children->content), 0);

  shared->SetValue(".", "false");  // the element's text replaced: the old one is parked
  shared->SetAttribute("type", "O2");
  EXPECT_EQ(xmlDictOwns(dict, short_element->children->content), 1);
  xmlNode* text = xmlNewDocText(short_element->doc, reinterpret_cast<const xmlChar*>("!"));
  ASSERT_NE(xmlAddChild(short_element, text), nullptr);  // joins the shared "false"
  xmlNodeSetContent(long_element->properties->children, reinterpret_cast<const xmlChar*>("S"));
  EXPECT_EQ(c->XML(), "<c><complement type=\"O2\">false!</complement><complement type=\"S\">" +
                          long_text + "</complement></c>");
  EXPECT_EQ(shared->GetValue("."), "false!");
  cursor->LoadXML("<s/>");  // the old tree and its parked texts go
  EXPECT_EQ(cursor->NodeName(), "s");
}

// ---- texts are parsed piece by piece, as files are ----

// The parser given the whole text at once, with the options of ParseText: the tree, or
// the first error it reported.
struct WholeTextParse {
  XmlDocHandle doc;
  int code = 0;
  int line = 0;
  int column = 0;
  std::string reason;
};

void KeepFirstError(void* parse, xmlError* error) {
  auto* whole = static_cast<WholeTextParse*>(parse);
  if (error == nullptr || error->level < XML_ERR_ERROR || whole->code != 0) return;
  whole->code = error->code;
  whole->line = error->line;
  whole->column = error->int2;
  whole->reason = error->message != nullptr ? error->message : "";
  while (!whole->reason.empty() && (whole->reason.back() == '\n' || whole->reason.back() == ' '))
    whole->reason.pop_back();
}

WholeTextParse ParseWhole(const std::string& text) {
  WholeTextParse whole;
  xmlParserCtxt* ctxt = xmlNewParserCtxt();
  xmlSetStructuredErrorFunc(&whole, &KeepFirstError);
  whole.doc.reset(xmlCtxtReadMemory(
      ctxt, text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
      XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT | XML_PARSE_IGNORE_ENC));
  xmlSetStructuredErrorFunc(nullptr, nullptr);
  xmlFreeParserCtxt(ctxt);
  return whole;
}

// The texts to try: the sample documents, texts whose characters and markup straddle
// the places where the parser takes its next piece, and every cut and some breakages
// of a small document.
std::vector<std::string> TextsToParse() {
  std::vector<std::string> texts = SampleTexts();
  const std::string accents = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x9A\x97";
  for (size_t shift = 0; shift < 9; ++shift) {
    std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n<r a=\"" + accents +
                       "\">" + std::string(shift, 'x');
    while (text.size() < 20000) text += accents + "<v k='&amp;'>&lt;" + accents + "</v>";
    texts.push_back(text + "<![CDATA[" + accents + "]]><!--" + accents + "--><?p " + accents +
                    "?>" + std::string(5000, ' ') + "</r>");
  }
  const std::string small = SampleTexts()[0].substr(0, 700);
  for (size_t cut = 0; cut <= small.size(); ++cut) texts.push_back(small.substr(0, cut));
  for (const char* broken : {"<", "&", "\xFF", "]]>", "</x>", "<?xml?>"})
    for (size_t at = 0; at < small.size(); at += 37)
      texts.push_back(small.substr(0, at) + broken + small.substr(at));
  return texts;
}

TEST(XMLDomParseText, PieceByPieceGivesTheTreeOrTheErrorOfTheWholeText) {
  int trees = 0;
  int errors = 0;
  for (const std::string& text : TextsToParse()) {
    SCOPED_TRACE(text.substr(0, 120));
    WholeTextParse whole = ParseWhole(text);
    if (whole.doc) {
      XmlDocHandle doc = xmldom::ParseText(text, false, true);
      ASSERT_NE(doc, nullptr);
      // Same declared encoding, so that both serialise alike.
      if (whole.doc->encoding != nullptr) xmlFree(const_cast<xmlChar*>(whole.doc->encoding));
      whole.doc->encoding = doc->encoding != nullptr ? xmlStrdup(doc->encoding) : nullptr;
      EXPECT_EQ(xmldom::SerializeDocument(doc.get()), xmldom::SerializeDocument(whole.doc.get()));
      ++trees;
      continue;
    }
    try {
      xmldom::ParseText(text, false, true);
      ADD_FAILURE() << "parsed piece by piece, not whole";
    } catch (const XMLParseException& e) {
      EXPECT_EQ(e.code(), whole.code);
      EXPECT_EQ(e.line(), whole.line);
      EXPECT_EQ(e.column(), whole.column);
      EXPECT_EQ(e.reason(), whole.reason);
    }
    ++errors;
  }
  EXPECT_GT(trees, 15);
  EXPECT_GT(errors, 500);
}

// What dropping blank text means: every text node of white space alone goes, except
// under xml:space="preserve". Done here on a tree parsed with every node kept.
void RemoveBlankTextNodes(xmlNode* parent) {
  for (xmlNode* child = parent->children; child != nullptr;) {
    xmlNode* next = child->next;
    const std::string text = child->type == XML_TEXT_NODE && child->content != nullptr
                                 ? reinterpret_cast<const char*>(child->content)
                                 : "";
    if (child->type == XML_TEXT_NODE && text.find_first_not_of(" \t\r\n") == std::string::npos &&
        xmlNodeGetSpacePreserve(parent) != 1) {
      xmlUnlinkNode(child);
      xmlFreeNode(child);
    } else if (child->type == XML_ELEMENT_NODE) {
      RemoveBlankTextNodes(child);
    }
    child = next;
  }
}

TEST(XMLDomParseText, BlankTextIsDroppedWhereverItStandsAndKeptUnderSpacePreserve) {
  std::vector<std::string> texts = TextsToParse();
  for (const char* blanks :
       {"<r>\n  <a>  </a>\n  <b> x </b>  <c>\t<d/>\r\n</c>\n</r>",
        "<r><a>x  <b/>  y</a><a>&amp;  <b/></a><a>  &amp;</a><a>  &#32;<b/></a></r>",
        "<r><a><![CDATA[  ]]>  <b/></a><a>x<![CDATA[y]]>  <b/>  </a><a><!--c-->  <b/></a></r>",
        "<r><a><?p x?>  </a><a>x<!--c-->  <b/></a><a>  <!--c-->  </a></r>",
        "<r xml:space=\"preserve\">  <a>  <b xml:space=\"default\">  <c/>  </b>  </a>  </r>",
        "<r><a xml:space='preserve'>\n<b>  </b>\n</a><a xml:space='default'>  </a></r>"})
    texts.push_back(blanks);
  int compared = 0;
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 120));
    XmlDocHandle kept;
    try {
      kept = xmldom::ParseText(text, false, false);
    } catch (const XMLParseException&) {
      continue;
    }
    ASSERT_NE(kept, nullptr);
    RemoveBlankTextNodes(reinterpret_cast<xmlNode*>(kept.get()));
    XmlDocHandle dropped = xmldom::ParseText(text, true, false);
    ASSERT_NE(dropped, nullptr);
    EXPECT_EQ(xmldom::SerializeDocument(dropped.get()), xmldom::SerializeDocument(kept.get()));
    ++compared;
  }
  EXPECT_GT(compared, 20);
}

// The span tags told from the tree are those a search of the record's text finds.
TEST(XMLDomSpanTags, TreeTellsWhatTheTextSearchFinds) {
  const std::string records[] = {
      "<V><A>1</A><x/><B>2</B></V>",
      "<V><B/><A/></V>",
      "<V><A/><B/><A/></V>",
      "<V><A/><B/><A/><B/></V>",
      "<V><A k=\"1\"/><B/></V>",
      "<V><A xmlns=\"urn:a\"/><B/></V>",
      "<V xmlns:p=\"urn:p\"><p:A/><B/></V>",
      "<V xmlns:p=\"urn:p\"><A/><p:B/></V>",
      "<V xmlns=\"urn:d\"><A/><B/></V>",
      "<V><B><A/></B></V>",
      "<V><A><B/></A></V>",
      "<V><w><A/></w><w><B/></w><A>&lt;B&gt;</A></V>",
      "<V><a/><b/></V>",
      "<V><A/><!--</B>--></V>",
      "<V><A/><![CDATA[</B>]]></V>",
      "<V><?pi <A>?><B/></V>",
  };
  auto closes_inside = [](const std::string& text) {
    size_t from = 0;
    while (true) {
      const size_t open_at = text.find("<A>", from);
      if (open_at == std::string::npos) return true;
      const size_t close_at = text.find("</B>", open_at + 3);
      if (close_at == std::string::npos) return false;
      from = close_at + 4;
    }
  };
  int known = 0;
  for (const std::string& record : records) {
    SCOPED_TRACE(record);
    XmlDocHandle doc = xmldom::ParseText(record);
    ASSERT_TRUE(doc);
    xmlNode* node = xmlDocGetRootElement(doc.get());
    const XMLSpanTags tags = xmldom::SpanTagsOf(node, "A", "B");
    const std::string text = xmldom::SerializeNode(node);
    if (!tags.known) {
      // Only sections, comments and processing instructions.
      EXPECT_TRUE(text.find("<!") != std::string::npos || text.find("<?") != std::string::npos);
      continue;
    }
    ++known;
    EXPECT_EQ(tags.has_start, text.find("<A>") != std::string::npos) << text;
    EXPECT_EQ(tags.start_after_end, !closes_inside(text)) << text;
  }
  EXPECT_EQ(known, 13);
}

}  // namespace
}  // namespace kalvex
