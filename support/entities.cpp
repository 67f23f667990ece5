#include "support/entities.h"

#include <utility>

#include "support/sys_init.h"
#include "support/text.h"

namespace support {

std::array<std::string, 256> SxEntityHtml;
std::array<std::string, 256> SxEntityAll;

namespace {

// The HTML 4 names of the Latin-1 characters 160 to 255.
constexpr const char* kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

// The program's own entities; code 0 has no semicolon.
constexpr std::pair<int, const char*> kOwnEntities[] = {
    {0, "&NIL"},      {9, "&TAB;"},      {10, "&LF;"},     {13, "&CR;"},     {32, "&sp;"},
    {33, "&excl;"},   {35, "&nbr;"},     {36, "&usd;"},    {37, "&prc;"},    {39, "&apos;"},
    {40, "&lpar;"},   {41, "&rpar;"},    {42, "&ast;"},    {43, "&plus;"},   {44, "&com;"},
    {45, "&hyp;"},    {46, "&dot;"},     {47, "&sla;"},    {58, "&col;"},    {59, "&scol;"},
    {61, "&eq;"},     {63, "&quest;"},   {64, "&at;"},     {91, "&lsqbra;"}, {92, "&bslash;"},
    {93, "&rsqbra;"}, {94, "&caret;"},   {95, "&hobar;"},  {96, "&acute;"},  {123, "&lcubra;"},
    {124, "&vebar;"}, {125, "&rcubra;"}, {126, "&tilde;"},
};

}  // namespace

void BuildEntityTables() {
  for (uint32_t c = 0; c < 256; ++c) {
    std::string text;
    AppendChar(&text, c);
    SxEntityHtml[c] = std::move(text);
  }
  SxEntityHtml[34] = "&quot;";
  SxEntityHtml[38] = "&amp;";
  SxEntityHtml[60] = "&lt;";
  SxEntityHtml[62] = "&gt;";
  SxEntityHtml[128] = "&euro;";
  for (int c = 160; c < 256; ++c) {
    SxEntityHtml[c] = std::string("&") + kLatin1Names[c - 160] + ";";
  }
  SxEntityAll = SxEntityHtml;
  for (const auto& [code, entity] : kOwnEntities) SxEntityAll[code] = entity;
}

}  // namespace support
