// Every text of the XML cursor, its DOM layer and its XSL processor that a user can see.
// The cursor's and the processor's own messages ("TXMLCursor.…", "TXSLProc.…", the
// parse-error message, the XSL import checks) are kept word for word as the tool has
// always written them: they name the operation that failed, and scripts match them.
// The DOM layer's own texts are French. What libxml2 and libxslt say about a document
// (the reason of a parse error, of an XPath or XSLT error) is shown as they say it.
#pragma once

#include <cstdint>
#include <string>

namespace kalvex::xml_text {

// ---- Texts kept word for word ----

inline constexpr char kBlankFolder[] = "Cannot Create Blank Directory";
inline constexpr char kAppendChildAtEof[] = "TXMLCursor.AppendChild - EOF";
inline constexpr char kAppendMoreThanOne[] =
    "TXMLCursor.AppendXMLCursor - Cannot add XMLCursor to current since it has more than one "
    "element.";
inline constexpr char kReplaceWithoutDocument[] =
    "TXMLCursor.ReplaceWithXMLCursor - FXMLDOMDocument = nil";
inline std::string MoveToOutOfRange(int32_t index, int32_t count) {
  return "TXMLCursor.MoveTo - Index out of range: " + std::to_string(index) + "/" +
         std::to_string(count);
}
inline std::string LoadMalformed(const std::string& file_name) {
  return "TXMLCursor.Load FileName: \"" + file_name + "\"";
}
inline std::string LoadMissing(const std::string& file_name) {
  return "TXMLCursor.Load FileName[" + file_name + "] does not exists";
}
inline std::string SavePrefix(const std::string& file_name) {
  return "TXMLCursor.Save FileName: \"" + file_name + "\"";
}
inline constexpr char kPrettyXmlPrefix[] = "TXMLCursor.PrettyXML - ";
// "Error <code> on line <line>, char <column> in \"<source>\"" CR LF source line CR LF reason
inline std::string ParseError(int32_t code, int32_t line, int32_t column, const std::string& source,
                              const std::string& source_text, const std::string& reason) {
  return "Error " + std::to_string(code) + " on line " + std::to_string(line) + ", char " +
         std::to_string(column) + " in \"" + source + "\"\r\n" + source_text + "\r\n" + reason;
}

inline constexpr char kImportHrefMissing[] = "href attribute missing on xsl:import/xsl:include";
inline constexpr char kImportHrefEmpty[] = "href attribute empty on xsl:import / xsl:include";
inline std::string XslDocumentEmpty(const std::string& file_name) {
  return "XSL document '" + file_name + "' is empty.";
}
inline constexpr char kXslTextEmpty[] = "XSL document is empty.";
inline std::string XslIsUpToDatePrefix(const std::string& file_name) {
  return "TXSLProc.IsUpToDate - FileName=" + file_name;
}
inline std::string XslImportPrefix(const std::string& reference) {
  return "TXSLProc.Load.ProcessImports - XSL processing - " + reference;
}
inline std::string XslLoadPrefix(const std::string& file_name) {
  return "TXSLProc.Load - " + file_name;
}
inline constexpr char kXslLoadXmlPrefix[] = "TXSLProc.LoadXML - ";
inline std::string XslProcessPrefix(const std::string& file_name) {
  return "TXSLProc.Process - XSL processing - " + file_name;
}

// ---- The DOM layer's own texts ----

inline constexpr char kOneTopLevelElement[] =
    "Un document XML ne peut avoir qu'un seul élément de premier niveau.";
inline constexpr char kDoctypeRefused[] =
    "DOCTYPE refusé : un document ne doit déclarer ni type de document ni entités.";
// An element past the attribute limit (see attribute_limit.h).
inline std::string TooManyAttributes(const std::string& element, int32_t limit) {
  return "L'élément \"" + element + "\" a plus de " + std::to_string(limit) +
         " attributs : le document est refusé.";
}
inline std::string UnsupportedEncoding(const std::string& encoding) {
  return "Encodage non pris en charge : " + encoding;
}
// "Le document ne peut pas être écrit[ en <encoding>]" then "." or " : " + detail.
inline std::string CannotSerialise(const std::string& encoding, const std::string& detail) {
  return "Le document ne peut pas être écrit" + (encoding.empty() ? "" : " en " + encoding) +
         (detail.empty() ? "." : " : " + detail);
}
inline constexpr char kInvalidExpression[] = "expression invalide";
inline std::string InvalidXPath(const std::string& xpath, const std::string& reason) {
  return "Expression XPath invalide \"" + xpath + "\" : " + reason;
}
inline std::string XPathGivesNoNodes(const std::string& xpath) {
  return "L'expression XPath \"" + xpath + "\" ne désigne pas des nœuds.";
}
inline std::string NamespacePrefixRefused(const std::string& prefix) {
  return "Le préfixe d'espace de noms \"" + prefix + "\" ne peut pas être déclaré.";
}
inline constexpr char kTextTooLarge[] = "Le texte est trop long pour être analysé.";
inline constexpr char kFileTooLarge[] = "Le fichier est trop volumineux.";
// "Mémoire insuffisante pour " + what + "."
inline std::string OutOfMemory(const std::string& what) {
  return "Mémoire insuffisante pour " + what + ".";
}
inline std::string TextCannotBeSet(const std::string& node) {
  return "Le texte du nœud \"" + node + "\" ne peut pas être modifié.";
}
inline std::string InvalidElementName(const std::string& name) {
  return "\"" + name + "\" n'est pas un nom d'élément valide.";
}
inline std::string InvalidAttributeName(const std::string& name) {
  return "\"" + name + "\" n'est pas un nom d'attribut valide.";
}
inline std::string NotAnElement(const std::string& node, const std::string& attribute) {
  return "Le nœud \"" + node + "\" n'est pas un élément : l'attribut \"" + attribute +
         "\" ne peut pas y être posé.";
}
inline std::string CannotBeInsertedHere(const std::string& type) {
  return "Un nœud de type \"" + type + "\" ne peut pas être inséré ici.";
}
inline std::string CannotStandAlone(const std::string& node) {
  return "Le nœud \"" + node + "\" ne peut pas exister seul.";
}
inline std::string CannotHoldChildren(const std::string& node) {
  return "Le nœud \"" + node + "\" ne peut pas avoir de nœuds enfants.";
}
inline std::string CannotBeInserted(const std::string& node) {
  return "Le nœud \"" + node + "\" ne peut pas être inséré.";
}

// XSL processor, followed by libxslt's own diagnostics when it gave some.
inline constexpr char kStylesheetNotCompiled[] = "La feuille de style ne peut pas être compilée.";
inline constexpr char kSecurityNotMade[] =
    "Les règles de sécurité de la transformation ne peuvent pas être créées.";
inline constexpr char kSecurityNotApplied[] =
    "Les règles de sécurité de la transformation ne peuvent pas être appliquées.";
inline constexpr char kNoDocumentToTransform[] = "Le curseur n'a pas de document à transformer.";
inline constexpr char kTransformNotPrepared[] = "La transformation ne peut pas être préparée.";
inline constexpr char kTransformFailed[] = "La transformation a échoué.";
inline constexpr char kTransformOutputNotWritten[] =
    "Le résultat de la transformation ne peut pas être écrit.";

}  // namespace kalvex::xml_text
