// The one mapping between the tools' records (Document.h) and their JSON.
//
// Each kind of record has, for each kind of document it appears in, one table
// of its fields: the JSON key, what the field is to fenwamake (read back,
// derived, a name), and how its value is written and read. fenwadump writes
// dumps through these tables and fenwamake reads dumps and descriptions
// through the same ones, so a field is in both directions or in neither; the
// test of tools/network.schema.json compares the schema with them.
//
// Reading is strict: a field the table does not list, a field given twice, a
// value of the wrong type or out of range is refused with the field's path
// ("routes[2].stops[0].station") and the place in the text.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ToolError.h"
#include "text/Json.h"
#include "toolkit/Document.h"

// What a field is to fenwamake when it reads a dump back.
enum class FieldRole {
  kReadBack,  // taken as it is
  kDerived,   // worked out again from other fields
  kName,      // a name: compared with the string it was read from
  kByHand,    // in a description written by hand
};

// A refusal as fenwamake states it: "line L, column C: path: what" (no path
// when it has none, no place when it has none).
std::string DescribeRefusal(const ToolError& error);

// Why a text cannot go into a file as it is: a character Shift_JIS has no
// code for, or a NUL that would end it early.
std::string NoShiftJisForm(const std::string& utf8);
inline constexpr const char* kTextHoldsNul =
    "holds a NUL, which would end it there in the file; the rest would be lost";

// Whether fenwamake makes a file of a document of this kind: a description, or
// a dump of a file fenwadump could read. What it says of any other "kind" (a
// dump of a file of no kind, a difference), from one list of the kinds it reads.
bool KindIsMade(DocumentKind kind);
std::string KindRefusal();

// Reads a description or a dump. Throws ToolError: a refusal with its place,
// or a failure to read the text given in pieces without one.
Document ReadDocument(std::string_view text);
// The same, of a text that open() gives in pieces from its start each time it
// is called: it is read twice (first for its kind), and never held whole.
Document ReadDocument(const std::function<JsonPieces()>& open);

// The JSON of a dump (a kind other than kDescription), ending with a line feed.
// With `drain`, the text goes to it in pieces as it is made (see JsonWriter),
// and what is returned is the last piece.
std::string WriteDocument(const Document& document, const std::function<void(std::string&)>& drain = {});

// The path of a field as messages show it: "routes[2].stops[0].station".
std::string FieldPath(const std::vector<std::string>& segments);

// Every record's fields in every kind of document, for the schema's test:
// "intermediate route", "database node", "description header", ...
struct FieldListing {
  std::string record;
  std::vector<std::pair<std::string, FieldRole>> fields;
};
std::vector<FieldListing> ListFields();
