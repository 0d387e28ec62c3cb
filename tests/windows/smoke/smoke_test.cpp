// The libraries of the Windows build, each doing the work the tool asks of it: ICU's
// conversions and transliteration with its data linked in, libxml2 reading and writing
// the portals' single-byte encodings, XSLT with EXSLT, a zip (with AES, through
// Windows' crypto) written and read back, and an FTP listing from 127.0.0.1 (port in
// KALVEX_FTP_PORT, see with_ftp_server.py).
#include <curl/curl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libexslt/exslt.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>
#include <unicode/translit.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;
struct StylesheetFree {
  void operator()(xsltStylesheet* sheet) const { xsltFreeStylesheet(sheet); }
};
struct ConverterClose {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
struct ZipDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileClose {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
struct CurlCleanup {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct XmlCharFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};

std::string FromUtf8ToCodepage(const std::string& utf8, const char* codepage) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterClose> converter(ucnv_open(codepage, &status));
  EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
  std::string out(text.length() * 4 + 4, '\0');
  const int32_t size =
      text.extract(out.data(), static_cast<int32_t>(out.size()), converter.get(), status);
  EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  out.resize(size);
  return out;
}

std::string Dump(xmlDoc* doc, const char* encoding) {
  xmlChar* raw = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc, &raw, &size, encoding, 0);
  std::unique_ptr<xmlChar, XmlCharFree> owned(raw);
  return raw ? std::string(reinterpret_cast<const char*>(raw), size) : std::string();
}

std::string RootText(xmlDoc* doc) {
  std::unique_ptr<xmlChar, XmlCharFree> text(xmlNodeGetContent(xmlDocGetRootElement(doc)));
  return text ? reinterpret_cast<const char*>(text.get()) : "";
}

DocPtr Parse(const std::string& bytes) {
  return DocPtr(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "memory.xml", nullptr,
                              XML_PARSE_NONET));
}

TEST(WindowsSmokeIcu, ConvertsWindows1252AndTransliterates) {
  EXPECT_EQ(FromUtf8ToCodepage("\u20AC\u0152 \u00E9", "windows-1252"), "\x80\x8C \xE9");
  EXPECT_EQ(FromUtf8ToCodepage("\u20AC", "ISO-8859-15"), "\xA4");

  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Transliterator> latin(
      icu::Transliterator::createInstance("Any-Latin; Latin-ASCII", UTRANS_FORWARD, status));
  ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  icu::UnicodeString text = icu::UnicodeString::fromUTF8("Łódź Škoda ő");
  latin->transliterate(text);
  std::string ascii;
  EXPECT_EQ(text.toUTF8String(ascii), "Lodz Skoda o");
}

TEST(WindowsSmokeLibxml2, SavesAndReadsSingleByteEncodings) {
  const std::string text = "\u20AC \u00E9\u0153";  // € é œ
  DocPtr doc = Parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?><prix>" + text + "</prix>");
  ASSERT_TRUE(doc);

  const std::string latin9 = Dump(doc.get(), "ISO-8859-15");
  EXPECT_THAT(latin9, testing::HasSubstr("<prix>\xA4 \xE9\xBD</prix>"));
  const std::string cp1252 = Dump(doc.get(), "windows-1252");
  EXPECT_THAT(cp1252, testing::HasSubstr("<prix>\x80 \xE9\x9C</prix>"));

  for (const std::string& saved : {latin9, cp1252}) {
    DocPtr back = Parse(saved);
    ASSERT_TRUE(back);
    EXPECT_EQ(RootText(back.get()), text);
  }
}

TEST(WindowsSmokeLibxslt, TransformsWithExslt) {
  exsltRegisterAll();
  DocPtr sheet_doc = Parse(R"xsl(<xsl:stylesheet version="1.0"
      xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
      xmlns:str="http://exslt.org/strings" xmlns:math="http://exslt.org/math"
      extension-element-prefixes="str math">
    <xsl:output method="text"/>
    <xsl:template match="/">
      <xsl:value-of select="count(str:tokenize(/v/@photos, ','))"/>
      <xsl:text>/</xsl:text>
      <xsl:value-of select="math:max(/v/prix)"/>
    </xsl:template>
  </xsl:stylesheet>)xsl");
  ASSERT_TRUE(sheet_doc);
  std::unique_ptr<xsltStylesheet, StylesheetFree> sheet(xsltParseStylesheetDoc(sheet_doc.get()));
  ASSERT_TRUE(sheet);
  (void)sheet_doc.release();  // the stylesheet owns it now

  DocPtr input = Parse("<v photos='a.jpg,b.jpg,c.jpg'><prix>9900</prix><prix>12500</prix></v>");
  ASSERT_TRUE(input);
  DocPtr result(xsltApplyStylesheet(sheet.get(), input.get(), nullptr));
  ASSERT_TRUE(result);
  xmlChar* raw = nullptr;
  int size = 0;
  ASSERT_EQ(xsltSaveResultToString(&raw, &size, result.get(), sheet.get()), 0);
  std::unique_ptr<xmlChar, XmlCharFree> owned(raw);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw), size), "3/12500");
}

TEST(WindowsSmokeLibzip, WritesAndReadsBackPlainAndAesEntries) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "kalvex-windows-smoke.zip";
  std::filesystem::remove(path);
  const std::string xml(5000, 'x');
  const std::string photo = "\xFF\xD8 not quite a jpeg";
  {
    int error = 0;
    zip_t* raw = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_TRUE(raw) << error;
    std::unique_ptr<zip_t, ZipDiscard> archive(raw);
    zip_source_t* xml_source = zip_source_buffer(archive.get(), xml.data(), xml.size(), 0);
    ASSERT_GE(zip_file_add(archive.get(), "annonces.xml", xml_source, ZIP_FL_ENC_UTF_8), 0);
    zip_source_t* photo_source = zip_source_buffer(archive.get(), photo.data(), photo.size(), 0);
    const zip_int64_t index = zip_file_add(archive.get(), "photo1.jpg", photo_source, 0);
    ASSERT_GE(index, 0);
    ASSERT_EQ(zip_file_set_encryption(archive.get(), index, ZIP_EM_AES_256, "secret"), 0)
        << zip_strerror(archive.get());
    ASSERT_EQ(zip_close(archive.get()), 0) << zip_strerror(archive.get());
    (void)archive.release();
  }

  int error = 0;
  std::unique_ptr<zip_t, ZipDiscard> archive(zip_open(path.string().c_str(), ZIP_RDONLY, &error));
  ASSERT_TRUE(archive) << error;
  ASSERT_EQ(zip_get_num_entries(archive.get(), 0), 2);
  ASSERT_EQ(zip_set_default_password(archive.get(), "secret"), 0);
  for (const auto& [name, content] : {std::pair{"annonces.xml", xml}, {"photo1.jpg", photo}}) {
    std::unique_ptr<zip_file_t, ZipFileClose> file(zip_fopen(archive.get(), name, 0));
    ASSERT_TRUE(file) << name << ": " << zip_strerror(archive.get());
    std::string read(content.size() + 16, '\0');
    const zip_int64_t got = zip_fread(file.get(), read.data(), read.size());
    read.resize(got < 0 ? 0 : static_cast<size_t>(got));
    EXPECT_EQ(read, content) << name;
  }
  archive.reset();
  std::filesystem::remove(path);
}

size_t Append(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

TEST(WindowsSmokeCurl, ListsAnFtpFolderOnLoopback) {
  const char* port = std::getenv("KALVEX_FTP_PORT");
  ASSERT_NE(port, nullptr) << "KALVEX_FTP_PORT is not set (run through with_ftp_server.py)";
  ASSERT_EQ(curl_global_init(CURL_GLOBAL_DEFAULT), CURLE_OK);
  std::string listing;
  {
    std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    ASSERT_TRUE(curl);
    const std::string url = std::string("ftp://127.0.0.1:") + port + "/";
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_USERPWD, "kalvex:kalvex");
    curl_easy_setopt(curl.get(), CURLOPT_DIRLISTONLY, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &listing);
    const CURLcode result = curl_easy_perform(curl.get());
    EXPECT_EQ(result, CURLE_OK) << curl_easy_strerror(result);
  }
  curl_global_cleanup();
  EXPECT_THAT(listing, testing::HasSubstr("annonces.xml"));
  EXPECT_THAT(listing, testing::HasSubstr("photo1.jpg"));
}

}  // namespace
